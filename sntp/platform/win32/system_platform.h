#pragma once
// The platform the library gives its SNTP client: Winsock sockets as its
// datagram ports, the exchange timer whose ticks come through a window, this
// host's addresses and the resolver over Winsock, the performance counter,
// the most precise local time the system gives, and random numbers.
#include "sntp/platform/client_platform.h"
#include "sntp/timer/timer_clock.h"

namespace sntp {

// The local calendar date and time of day, below the millisecond: the
// system's precise time where it has one (Windows 8 and later), converted
// with the time zone's rules for that instant.
TLocalDateTime LocalTimeNow();

class TSystemPlatform final : public TClientPlatform {
 public:
  // TTimerClock: what the exchange timer measures its interval with; tests
  // give a clock of their own.
  explicit TSystemPlatform(TTimerClock& timerClock = SystemTimerClock()) : timerClock_(timerClock) {}

  std::unique_ptr<TDatagramPort> CreatePort() override;
  std::unique_ptr<TExchangeTimer> CreateTimer(std::function<void()> onTimeout) override;
  std::vector<std::string> LocalAddresses() override;
  uint32_t ResolveAddress(const std::string& text) override;
  int64_t CounterMicroseconds() override;
  TLocalDateTime LocalNow() override;
  uint64_t RandomStamp() override;

 private:
  TTimerClock& timerClock_;
};

}  // namespace sntp
