// The resolvers over Winsock's name services, the local host name and the
// shared list of local addresses.
#include "sntp/socket/win32/resolve.h"

#include <cstring>

#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/win32/winsock_api.h"

namespace sntp {
namespace {

class TWinsockNameServices : public TNameServices {
 public:
  uint32_t InetAddr(const char* text) override { return wsapi::inet_addr(text); }

  bool HostByName(const char* name, uint32_t& address) override {
    const hostent* entry = wsapi::gethostbyname(name);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) return false;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return true;
  }

  bool ServiceByName(const char* name, const char* proto, uint16_t& portNetOrder) override {
    const servent* entry = wsapi::getservbyname(name, proto);
    if (entry == nullptr) return false;
    portNetOrder = static_cast<uint16_t>(entry->s_port);
    return true;
  }

  bool ProtocolByName(const char* name, int16_t& number) override {
    const protoent* entry = wsapi::getprotobyname(name);
    if (entry == nullptr) return false;
    number = static_cast<int16_t>(entry->p_proto);
    return true;
  }
};

constexpr int kHostNameBufferSize = 64;
constexpr size_t kHostEntryNameBufferSize = 257;

}  // namespace

uint32_t WSocketResolveHost(const std::string& host) {
  TWinsockNameServices services;
  return ResolveHostText(host, services);
}

int WSocketResolvePort(const std::string& port, const std::string& proto) {
  TWinsockNameServices services;
  return ResolvePortText(port, proto, services);
}

int WSocketResolveProto(const std::string& proto) {
  TWinsockNameServices services;
  return ResolveProtoText(proto, services);
}

std::string GetLocalHostName() {
  char name[kHostNameBufferSize] = {};
  if (wsapi::gethostname(name, kHostNameBufferSize) != 0) throw ESocketException("Winsock.GetHostName failed");
  name[kHostNameBufferSize - 1] = '\0';
  return name;
}

hostent* LookupHostEntry(const std::string& name) {
  char buffer[kHostEntryNameBufferSize] = {};
  std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
  return wsapi::gethostbyname(buffer);
}

void AddHostAddresses(const hostent* entry, std::vector<std::string>& list) {
  if (entry == nullptr || entry->h_addr_list == nullptr) return;
  for (char** address = entry->h_addr_list; *address != nullptr; ++address) {
    in_addr value{};
    std::memcpy(&value, *address, sizeof value);
    list.emplace_back(wsapi::inet_ntoa(value));
  }
}

// Winsock keeps a host entry per thread, so two threads may ask at once.
std::vector<std::string> GetLocalAddresses() {
  std::vector<std::string> list;
  if (const hostent* entry = LookupHostEntry(GetLocalHostName())) AddHostAddresses(entry, list);
  return list;
}

}  // namespace sntp
