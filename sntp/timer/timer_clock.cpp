#include "sntp/timer/timer_clock.h"

namespace sntp {
namespace {

class TSteadyTimerClock final : public TTimerClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }

  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                 TimePoint deadline, const Ready& ready) override {
    if (deadline == TimePoint::max()) {
      wake.wait(lock, ready);
      return true;
    }
    return wake.wait_until(lock, deadline, ready);
  }
};

}  // namespace

TTimerClock& SystemTimerClock() {
  static TSteadyTimerClock clock;
  return clock;
}

}  // namespace sntp
