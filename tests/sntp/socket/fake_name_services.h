#pragma once
// Name services for tests: dotted quads parsed as inet_addr does for them,
// and one host, "localhost", besides this host's empty name. Also the text
// a call reports.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/socket_exception.h"

namespace sntp::test {

class TFakeServices : public TNameServices {
 public:
  uint32_t InetAddr(const char* text) override {
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
    LastName = name;
    if (LastName != "localhost" && !LastName.empty()) return false;
    address = InetAddr(LastName.empty() ? "10.0.0.5" : "127.0.0.1");
    return true;
  }
  bool ServiceByName(const char*, const char*, uint16_t&) override { return false; }
  bool ProtocolByName(const char*, int16_t&) override { return false; }

  // The name HostByName was last asked for.
  std::string LastName;
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
