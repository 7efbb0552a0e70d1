#include "sntp/timer/async_timer.h"

#include <utility>

#include "sntp/timer/thread_priority.h"

namespace sntp {

TAsyncTimerEvent& TAsyncTimerEvent::operator=(Handler handler) {
  std::shared_ptr<const Handler> replacement;
  if (handler) replacement = std::make_shared<const Handler>(std::move(handler));
  std::lock_guard<std::mutex> lock(mutex_);
  handler_.swap(replacement);
  return *this;
}

TAsyncTimerEvent::operator bool() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handler_ != nullptr;
}

void TAsyncTimerEvent::operator()(TAsyncTimer* sender) const {
  std::shared_ptr<const Handler> handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handler = handler_;
  }
  if (handler) (*handler)(sender);
}

TAsyncTimer::TAsyncTimer(TTimerClock& clock) : clock_(clock) {
  eventTaker_ = StartTimerThread(&TAsyncTimer::RunEventTaker, eventPriority_,
                                 "Timer event taker thread creation error");
  try {
    ticking_ = StartTimerThread(&TAsyncTimer::RunTicking, timerPriority_, "Thread creation error");
  } catch (const EAsyncTimerError&) {
    StopThreads();  // the event taker made first
    throw;
  }
}

TAsyncTimer::~TAsyncTimer() { StopThreads(); }

std::thread TAsyncTimer::StartTimerThread(void (TAsyncTimer::*routine)(), std::uint8_t priority,
                                          const char* failureMessage) {
  std::thread thread;
  try {
    thread = clock_.StartThread([this, routine] { RunGuarded(routine); });
  } catch (const std::exception&) {
    throw EAsyncTimerError(failureMessage);
  }
  SetTimerThreadPriority(thread, priority);
  return thread;
}

// A failure must not leave a thread routine: it would end the process.
void TAsyncTimer::RunGuarded(void (TAsyncTimer::*step)()) noexcept {
  try {
    (this->*step)();
  } catch (...) {
  }
}

void TAsyncTimer::StopThreads() {
  if (ticking_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tickingStopRequested_ = true;
    }
    tickingWake_.notify_all();
    ticking_.join();
  }
  if (eventTaker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopRequested_ = true;
    }
    eventWake_.notify_all();
    eventTaker_.join();
  }
}

bool TAsyncTimer::Enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

void TAsyncTimer::SetEnabled(bool value) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (value == enabled_) return;
    enabled_ = value;
    if (value) {
      ++enablings_;
    } else {
      tickPending_ = false;  // a tick not yet taken up must not start OnTimer now
    }
  }
  tickingWake_.notify_all();
}

void TAsyncTimer::FireTimer() { OnTimer(this); }

void TAsyncTimer::FireOverrun() { OnOverrun(this); }

// Disabled, the thread waits without a time limit; it ends for good when the
// timer is spent or destroyed.
void TAsyncTimer::RunTicking() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    clock_.WaitUntil(lock, tickingWake_, TTimerClock::TimePoint::max(),
                     [this] { return enabled_ || tickingStopRequested_; });
    if (tickingStopRequested_ || !TickWhileEnabled(lock)) return;
  }
}

// Ticks once every Interval from the current enabling. Returns true when the
// timer was disabled or enabled anew (wait for an enabling, fresh interval),
// false when it is spent or being destroyed.
bool TAsyncTimer::TickWhileEnabled(std::unique_lock<std::mutex>& lock) {
  const std::uint32_t enabling = enablings_;
  const auto interrupted = [this, enabling] {
    return tickingStopRequested_ || !enabled_ || enablings_ != enabling;
  };
  TTimerClock::TimePoint deadline = clock_.Now();
  for (;;) {
    const std::int32_t interval = interval_.load();
    if (interval <= 0) return false;
    deadline = NextDeadline(deadline, interval);
    if (clock_.WaitUntil(lock, tickingWake_, deadline, interrupted)) return !tickingStopRequested_;
    if (interval_.load() <= 0) return false;
    Tick(lock);
  }
}

// Keeps to the interval's grid; after a stall the grid restarts from now
// rather than delivering the missed ticks in a burst.
TTimerClock::TimePoint TAsyncTimer::NextDeadline(TTimerClock::TimePoint previous,
                                                std::int32_t interval) const {
  const std::chrono::milliseconds length(interval);
  const TTimerClock::TimePoint next = previous + length;
  const TTimerClock::TimePoint now = clock_.Now();
  return next > now ? next : now + length;
}

// A tick while OnTimer is busy (or about to start) costs that tick: it is
// reported here, in the ticking thread, and nothing is queued.
void TAsyncTimer::Tick(std::unique_lock<std::mutex>& lock) {
  if (busy_ || tickPending_) {
    lock.unlock();
    RunGuarded(&TAsyncTimer::FireOverrun);
    lock.lock();
    return;
  }
  tickPending_ = true;
  eventWake_.notify_all();
}

// One OnTimer call per tick taken up; a handler's failure ends neither the
// call's bookkeeping nor the thread.
void TAsyncTimer::RunEventTaker() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    clock_.WaitUntil(lock, eventWake_, TTimerClock::TimePoint::max(),
                     [this] { return tickPending_ || stopRequested_; });
    if (stopRequested_) return;
    tickPending_ = false;
    busy_ = true;
    lock.unlock();
    RunGuarded(&TAsyncTimer::FireTimer);
    lock.lock();
    busy_ = false;
  }
}

}  // namespace sntp
