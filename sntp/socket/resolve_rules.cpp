#include "sntp/socket/resolve_rules.h"

#include "sntp/socket/socket_exception.h"
#include "sntp/socket/text_rules.h"

namespace sntp {
namespace {

constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;

uint16_t NetToHost16(uint16_t Value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&Value);
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace

uint32_t ResolveHostText(const std::string& Host, TNameServices& Services) {
  if (Host.empty() || Host.size() > kMaxHostTextLength)
    throw ESocketException("WSocketResolveHost: '" + Host + "' Invalid Hostname.");
  const std::string name = TrimBlanksAndControls(Host);
  if (StartsWithDigit(name)) {
    const uint32_t address = Services.InetAddr(name.c_str());
    if (address != kInaddrNone || name == "255.255.255.255") return address;
    throw ESocketException("WSocketResolveHost: '" + Host + "' Invalid IP address.");
  }
  uint32_t address = 0;
  if (!Services.HostByName(name.c_str(), address))
    throw ESocketException("WSocketResolveHost: Cannot convert host address '" + Host + "'");
  return address;
}

bool NeedsNameLookup(const std::string& Host) {
  if (Host.empty() || Host.size() > kMaxHostTextLength) return false;
  const std::string name = TrimBlanksAndControls(Host);
  return !name.empty() && !StartsWithDigit(name);
}

int ResolvePortText(const std::string& Port, const std::string& Proto, TNameServices& Services) {
  if (Port.empty() || Port.size() >= kPortProtoTextLimit)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (StartsWithDigit(Port)) return ParseLeadingDecimal(Port);
  const std::string name = TrimBlanksAndControls(Port);
  const std::string proto = TrimBlanksAndControls(Proto);
  uint16_t port = 0;
  if (!Services.ServiceByName(name.c_str(), proto.empty() ? nullptr : proto.c_str(), port))
    throw ESocketException("WSocketResolvePort: Cannot convert port '" + Port + "'");
  return NetToHost16(port);
}

int ResolveProtoText(const std::string& Proto, TNameServices& Services) {
  if (Proto.empty() || Proto.size() >= kPortProtoTextLimit)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  const std::string name = TrimBlanksAndControls(Proto);
  if (name.empty()) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (StartsWithDigit(name)) return ParseLeadingDecimal(name);
  int16_t number = 0;
  if (!Services.ProtocolByName(name.c_str(), number))
    throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + name + "'");
  return number;
}

}  // namespace sntp
