#pragma once
// A clock for timer tests. Time stands still until the test moves it, and
// the test can wait until every timer thread is blocked on this clock, so
// each step of a schedule happens at an exact virtual time however loaded the
// machine is. Every blocking call of the timer's threads (handlers included)
// must go through this clock.
#include <atomic>
#include <cstdint>
#include <vector>

#include "sntp/timer/timer_clock.h"

namespace sntp::test {

class TManualTimerClock : public TTimerClock {
 public:
  TimePoint Now() const override;
  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                 TimePoint deadline, const Ready& ready) override;
  std::thread StartThread(std::function<void()> routine) override;

  std::int64_t Millis() const { return now_.load(); }

  // Blocks the calling timer thread for `ms` of virtual time.
  void Sleep(std::int64_t ms);

  // Waits until every live thread is blocked with nothing to wake it; with
  // `liveThreads` >= 0, also until exactly that many threads are alive.
  void Settle(int liveThreads = -1);

  // Moves time to `ms`, stopping at each deadline on the way and letting the
  // threads run to their next wait; returns with them settled again.
  void RunUntil(std::int64_t ms);

  // The `ordinal`-th thread start (1-based) fails as a system would.
  void RefuseThreadStart(int ordinal);

  int LiveThreads() const;
  std::vector<std::thread::native_handle_type> StartedThreads() const;

 private:
  struct TWaiter {
    std::mutex* Mutex;
    std::condition_variable* Wake;
    TimePoint Deadline;
    const Ready* IsReady;
  };

  void Register(TWaiter* waiter);
  void Unregister(TWaiter* waiter);
  bool AllBlocked() const;
  TimePoint EarliestDeadline() const;
  void AdvanceTo(TimePoint when);

  std::atomic<std::int64_t> now_{0};
  mutable std::mutex mutex_;  // guards the fields below; taken before any waiter's mutex
  std::condition_variable changed_;
  std::vector<TWaiter*> waiters_;
  int live_ = 0;
  int starts_ = 0;
  int refusedStart_ = 0;
  std::vector<std::thread::native_handle_type> started_;
};

}  // namespace sntp::test
