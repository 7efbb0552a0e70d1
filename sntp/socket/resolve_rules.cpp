#include "sntp/socket/resolve_rules.h"

#include "sntp/socket/socket_exception.h"
#include "sntp/common/text_rules.h"

namespace sntp {
namespace {

constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;

uint16_t NetToHost16(uint16_t value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace

uint32_t ResolveHostText(const std::string& host, TNameServices& services) {
  if (host.empty() || host.size() > kMaxHostTextLength)
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  const std::string name = TrimBlanksAndControls(host);
  if (StartsWithDigit(name)) {
    const uint32_t address = services.InetAddr(name.c_str());
    if (address != kInaddrNone || name == "255.255.255.255") return address;
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
  }
  uint32_t address = 0;
  if (!services.HostByName(name.c_str(), address))
    throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host + "'");
  return address;
}

int ResolvePortText(const std::string& port, const std::string& proto, TNameServices& services) {
  if (port.empty() || port.size() >= kPortProtoTextLimit)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (StartsWithDigit(port)) return ParseLeadingDecimal(port);
  const std::string name = TrimBlanksAndControls(port);
  const std::string protocol = TrimBlanksAndControls(proto);
  uint16_t portNetOrder = 0;
  if (!services.ServiceByName(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(), portNetOrder))
    throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "'");
  return NetToHost16(portNetOrder);
}

int ResolveProtoText(const std::string& proto, TNameServices& services) {
  if (proto.empty() || proto.size() >= kPortProtoTextLimit)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  const std::string name = TrimBlanksAndControls(proto);
  if (name.empty()) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (StartsWithDigit(name)) return ParseLeadingDecimal(name);
  int16_t number = 0;
  if (!services.ProtocolByName(name.c_str(), number))
    throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + name + "'");
  return number;
}

}  // namespace sntp
