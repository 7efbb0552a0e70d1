#pragma once
// The resolvers' rules (length limits, trimming, numeric texts, messages),
// kept apart from the name services they consult so that they can be
// exercised without a network.
#include <cstdint>
#include <string>

namespace sntp {

// The name services the resolvers consult. Addresses and ports are in
// network byte order, as the services hand them out.
class TNameServices {
 public:
  virtual ~TNameServices() = default;
  // inet_addr: the address, or 0xFFFFFFFF when the text is not one.
  virtual uint32_t InetAddr(const char* text) = 0;
  // gethostbyname: the first address of the host, false when none.
  virtual bool HostByName(const char* name, uint32_t& address) = 0;
  // getservbyname; Proto is nullptr for any protocol.
  virtual bool ServiceByName(const char* name, const char* proto, uint16_t& portNetOrder) = 0;
  // getprotobyname: the entry's 16-bit protocol number.
  virtual bool ProtocolByName(const char* name, int16_t& number) = 0;
};

// Port and protocol texts must be shorter than this.
constexpr size_t kPortProtoTextLimit = 32;

uint32_t ResolveHostText(const std::string& host, TNameServices& services);

int ResolvePortText(const std::string& port, const std::string& proto, TNameServices& services);
int ResolveProtoText(const std::string& proto, TNameServices& services);

}  // namespace sntp
