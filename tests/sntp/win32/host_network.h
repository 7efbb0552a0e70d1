#pragma once
// Test support under Wine: this host's addresses and its UDP ports, read
// and held with Winsock directly rather than through the library; and
// whether Winsock is started in this process.
#include <cstdint>
#include <string>
#include <vector>

namespace sntp::test {

// A UDP socket on Port of every interface (0: one the system picks), held
// for its lifetime, as another program holds a port: Windows' time service
// holds 123. Winsock stays started while the port is held.
class TUdpPortHolder {
 public:
  explicit TUdpPortHolder(uint16_t port = 0);
  ~TUdpPortHolder();
  TUdpPortHolder(const TUdpPortHolder&) = delete;
  TUdpPortHolder& operator=(const TUdpPortHolder&) = delete;

  // False when the port could not be bound (held, or refused).
  bool Held() const { return port_ != 0; }
  uint16_t Port() const { return port_; }

 private:
  uintptr_t socket_ = ~uintptr_t{0};
  uint16_t port_ = 0;
};

inline bool CanBindUdpPort(uint16_t port) { return TUdpPortHolder(port).Held(); }

// This host's addresses, from its name's host entry.
std::vector<std::string> HostAddresses();
// A socket can be made: someone in this process holds Winsock started (no
// test program starts it for good itself).
bool WinsockStarted();

}  // namespace sntp::test
