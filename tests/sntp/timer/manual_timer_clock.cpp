#include "tests/sntp/timer/manual_timer_clock.h"

#include <algorithm>
#include <system_error>

using namespace std::chrono;

namespace sntp::test {

TManualTimerClock::TimePoint TManualTimerClock::Now() const {
  return TimePoint(milliseconds(now_.load()));
}

// The caller's mutex is never held while this clock's mutex is taken, so the
// test thread may lock a waiter's mutex under the clock's one.
bool TManualTimerClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                 TimePoint deadline, const Ready& ready) {
  TWaiter self{lock.mutex(), &wake, deadline, &ready};
  for (;;) {
    lock.unlock();
    Register(&self);
    lock.lock();
    while (!ready() && Now() < deadline) wake.wait(lock);
    lock.unlock();
    Unregister(&self);
    lock.lock();
    if (ready() || Now() >= deadline) return ready();
  }
}

void TManualTimerClock::Register(TWaiter* waiter) {
  std::lock_guard<std::mutex> guard(mutex_);
  waiters_.push_back(waiter);
  changed_.notify_all();
}

void TManualTimerClock::Unregister(TWaiter* waiter) {
  std::lock_guard<std::mutex> guard(mutex_);
  waiters_.erase(std::find(waiters_.begin(), waiters_.end(), waiter));
  changed_.notify_all();
}

std::thread TManualTimerClock::StartThread(std::function<void()> routine) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (++starts_ == refusedStart_) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  ++live_;
  std::thread thread([this, routine = std::move(routine)] {
    routine();
    std::lock_guard<std::mutex> ended(mutex_);
    --live_;
    changed_.notify_all();
  });
  started_.push_back(thread.native_handle());
  return thread;
}

void TManualTimerClock::Sleep(std::int64_t ms) {
  std::mutex mutex;
  std::condition_variable never;
  std::unique_lock<std::mutex> lock(mutex);
  WaitUntil(lock, never, Now() + milliseconds(ms), [] { return false; });
}

bool TManualTimerClock::AllBlocked() const {
  if (waiters_.size() != static_cast<std::size_t>(live_)) return false;
  for (const TWaiter* waiter : waiters_) {
    std::lock_guard<std::mutex> guard(*waiter->Mutex);
    if ((*waiter->IsReady)() || waiter->Deadline <= Now()) return false;
  }
  return true;
}

// A failed check is always followed by a registration, an unregistration or
// a thread's end, each of which notifies `changed_`.
void TManualTimerClock::Settle(int liveThreads) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return (liveThreads < 0 || live_ == liveThreads) && AllBlocked(); });
}

TManualTimerClock::TimePoint TManualTimerClock::EarliestDeadline() const {
  std::lock_guard<std::mutex> guard(mutex_);
  TimePoint earliest = TimePoint::max();
  for (const TWaiter* waiter : waiters_) earliest = std::min(earliest, waiter->Deadline);
  return earliest;
}

void TManualTimerClock::AdvanceTo(TimePoint when) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (when <= Now()) return;
  now_.store(duration_cast<milliseconds>(when.time_since_epoch()).count());
  for (const TWaiter* waiter : waiters_) {
    if (waiter->Deadline > when) continue;
    std::lock_guard<std::mutex> waiterGuard(*waiter->Mutex);
    waiter->Wake->notify_all();
  }
}

void TManualTimerClock::RunUntil(std::int64_t ms) {
  const TimePoint end(milliseconds{ms});
  for (;;) {
    Settle();
    const TimePoint next = EarliestDeadline();
    if (next > end) break;
    AdvanceTo(next);
  }
  AdvanceTo(end);
  Settle();
}

void TManualTimerClock::RefuseThreadStart(int ordinal) {
  std::lock_guard<std::mutex> guard(mutex_);
  refusedStart_ = ordinal;
}

int TManualTimerClock::LiveThreads() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return live_;
}

std::vector<std::thread::native_handle_type> TManualTimerClock::StartedThreads() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return started_;
}

}  // namespace sntp::test
