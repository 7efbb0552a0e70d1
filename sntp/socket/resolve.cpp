// The resolvers over Winsock's name services, the local host name and the
// shared list of local addresses.
#include "sntp/socket/resolve.h"

#include <cstring>
#include <memory>

#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

class TWinsockNameServices : public TNameServices {
 public:
  uint32_t InetAddr(const char* Text) override { return wsapi::inet_addr(Text); }

  bool HostByName(const char* Name, uint32_t& Address) override {
    const hostent* entry = wsapi::gethostbyname(Name);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) return false;
    std::memcpy(&Address, entry->h_addr_list[0], sizeof Address);
    return true;
  }

  bool ServiceByName(const char* Name, const char* Proto, uint16_t& PortNetOrder) override {
    const servent* entry = wsapi::getservbyname(Name, Proto);
    if (entry == nullptr) return false;
    PortNetOrder = static_cast<uint16_t>(entry->s_port);
    return true;
  }

  bool ProtocolByName(const char* Name, int16_t& Number) override {
    const protoent* entry = wsapi::getprotobyname(Name);
    if (entry == nullptr) return false;
    Number = static_cast<int16_t>(entry->p_proto);
    return true;
  }
};

constexpr int kHostNameBufferSize = 64;
constexpr size_t kHostEntryNameBufferSize = 257;

std::unique_ptr<std::vector<std::string>> localAddressList;

// Made at the library's start-up, or here when a caller comes first.
std::vector<std::string>& LocalAddressList() {
  if (!localAddressList) localAddressList = std::make_unique<std::vector<std::string>>();
  return *localAddressList;
}

}  // namespace

uint32_t WSocketResolveHost(const std::string& Host) {
  TWinsockNameServices services;
  return ResolveHostText(Host, services);
}

int WSocketResolvePort(const std::string& Port, const std::string& Proto) {
  TWinsockNameServices services;
  return ResolvePortText(Port, Proto, services);
}

int WSocketResolveProto(const std::string& Proto) {
  TWinsockNameServices services;
  return ResolveProtoText(Proto, services);
}

std::string GetLocalHostName() {
  char name[kHostNameBufferSize] = {};
  if (wsapi::gethostname(name, kHostNameBufferSize) != 0) throw ESocketException("Winsock.GetHostName failed");
  name[kHostNameBufferSize - 1] = '\0';
  return name;
}

hostent* LookupHostEntry(const std::string& Name) {
  char name[kHostEntryNameBufferSize] = {};
  std::strncpy(name, Name.c_str(), sizeof name - 1);
  return wsapi::gethostbyname(name);
}

void AddHostAddresses(const hostent* Entry, std::vector<std::string>& List) {
  if (Entry == nullptr || Entry->h_addr_list == nullptr) return;
  for (char** address = Entry->h_addr_list; *address != nullptr; ++address) {
    in_addr value{};
    std::memcpy(&value, *address, sizeof value);
    List.emplace_back(wsapi::inet_ntoa(value));
  }
}

const std::vector<std::string>& GetLocalAddresses() {
  std::vector<std::string>& list = LocalAddressList();
  list.clear();
  if (const hostent* entry = LookupHostEntry(GetLocalHostName())) AddHostAddresses(entry, list);
  return list;
}

}  // namespace sntp

namespace sntp {

void SocketComponentStartup() { LocalAddressList(); }

void SocketComponentShutdown() {
  localAddressList.reset();
  UnloadWinsock();
}

}  // namespace sntp
