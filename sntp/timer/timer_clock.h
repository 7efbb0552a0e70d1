#pragma once
// The timer's sense of time, its way of waiting and its way of starting
// threads, behind one interface: the product runs on the system's monotonic
// clock, tests run the same timer in virtual time they advance themselves.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sntp {

class TTimerClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Ready = std::function<bool()>;

  virtual ~TTimerClock() = default;

  virtual TimePoint Now() const = 0;

  // Blocks on `wake`, whose mutex `lock` holds, until `ready()` is true or this
  // clock reaches `deadline`; TimePoint::max() waits without limit. The lock
  // is released while waiting and held again on return. Returns ready(), so
  // false means the deadline has been reached.
  virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                         TimePoint deadline, const Ready& ready) = 0;

  // Starts one of a timer's threads; throws std::system_error when the
  // system cannot create it.
  virtual std::thread StartThread(std::function<void()> routine) {
    return std::thread(std::move(routine));
  }
};

// The system's monotonic clock, shared by every timer not given another one.
TTimerClock& SystemTimerClock();

}  // namespace sntp
