#pragma once
// Name services for tests: dotted quads parsed as inet_addr does for them,
// and a fixed little database of one host, one service and three protocols.
// Every lookup is counted. Also the text a call reports.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/socket_exception.h"

namespace sntp::test {

// Name services with a fixed little database, counting the lookups.
class TFakeServices : public TNameServices {
 public:
  uint32_t InetAddr(const char* text) override {
    ++Lookups;
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text, "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255)
      return 0xFFFFFFFFu;
    const uint8_t bytes[4] = {uint8_t(a), uint8_t(b), uint8_t(c), uint8_t(d)};
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
  }
  // As Winsock's, the empty name is this host, 10.0.0.5.
  bool HostByName(const char* name, uint32_t& address) override {
    ++Lookups;
    LastName = name;
    if (LastName != "localhost" && !LastName.empty()) return false;
    address = InetAddr(LastName.empty() ? "10.0.0.5" : "127.0.0.1");
    return true;
  }
  bool ServiceByName(const char* name, const char* proto, uint16_t& port) override {
    ++Lookups;
    LastName = name;
    LastProto = proto ? proto : "(any)";
    if (LastName != "ntp") return false;
    port = static_cast<uint16_t>((123 >> 8) | (123 << 8));  // network byte order
    return true;
  }
  bool ProtocolByName(const char* name, int16_t& number) override {
    ++Lookups;
    LastName = name;
    const std::map<std::string, int16_t> known = {{"udp", 17}, {"tcp", 6}, {"big", -2}};
    auto it = known.find(name);
    if (it == known.end()) return false;
    number = it->second;
    return true;
  }
  int Lookups = 0;
  std::string LastName, LastProto;
};

// The message of the ESocketException that Call raises.
inline std::string ErrorText(const std::function<void()>& call) {
  try {
    call();
  } catch (const ESocketException& e) {
    return e.what();
  }
  return "(no report)";
}

}  // namespace sntp::test
