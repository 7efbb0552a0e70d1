#pragma once
// TAsyncTimer: a timer that needs no window and no message loop. A ticking
// thread measures the interval and an event-taker thread runs OnTimer, so a
// slow handler never delays the ticks. A tick that finds OnTimer still busy is
// not queued: the ticking thread fires OnOverrun instead.
//
// Threads: the owner's thread constructs, enables, sets the interval and
// destroys; OnTimer runs in the event-taker thread, OnOverrun in the ticking
// thread. Handlers may enable, disable and set the interval, but must not
// destroy the timer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "sntp/timer/timer_clock.h"

namespace sntp {

class TAsyncTimer;

// Raised by the constructor when one of the timer's threads cannot be made.
class EAsyncTimerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An event of the timer: assigned from the owner's thread, fired from one of
// the timer's threads. A handler replaced while it runs finishes that call on
// its own copy; firing an empty event does nothing.
class TAsyncTimerEvent {
 public:
  using Handler = std::function<void(TAsyncTimer* sender)>;

  TAsyncTimerEvent& operator=(Handler handler);
  explicit operator bool() const;
  void operator()(TAsyncTimer* sender) const;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const Handler> handler_;
};

class TAsyncTimer {
 public:
  static constexpr std::int32_t kDefaultInterval = 100;
  static constexpr std::uint8_t kDefaultTimerPriority = 6;  // time-critical
  static constexpr std::uint8_t kDefaultEventPriority = 4;  // above normal

  // A disabled timer with both threads waiting. Throws EAsyncTimerError.
  explicit TAsyncTimer(TTimerClock& clock = SystemTimerClock());
  virtual ~TAsyncTimer();

  TAsyncTimer(const TAsyncTimer&) = delete;
  TAsyncTimer& operator=(const TAsyncTimer&) = delete;

  bool Enabled() const;
  // True starts the ticks, the first one Interval ms later; false stops them,
  // and no OnTimer starts afterwards. Writing the current value does nothing.
  void SetEnabled(bool value);

  // Milliseconds between ticks, read at the start of each interval. Once the
  // ticking thread finds it 0 or less, the timer is spent and never ticks again.
  std::int32_t Interval() const { return interval_.load(); }
  void SetInterval(std::int32_t value) { interval_.store(value); }

  // Priority levels (0 idle .. 6 time-critical), applied when the threads start.
  std::uint8_t TimerPriority() const { return timerPriority_; }
  std::uint8_t EventPriority() const { return eventPriority_; }

  TAsyncTimerEvent OnTimer;
  TAsyncTimerEvent OnOverrun;

 protected:
  virtual void FireTimer();
  virtual void FireOverrun();

  // Ends both threads; an OnTimer call in progress finishes first. A class that
  // overrides FireTimer or FireOverrun calls this in its own destructor.
  void StopThreads();

 private:
  std::thread StartTimerThread(void (TAsyncTimer::*routine)(), std::uint8_t priority,
                               const char* failureMessage);
  void RunGuarded(void (TAsyncTimer::*step)()) noexcept;
  void RunTicking();
  bool TickWhileEnabled(std::unique_lock<std::mutex>& lock);
  TTimerClock::TimePoint NextDeadline(TTimerClock::TimePoint previous, std::int32_t interval) const;
  void Tick(std::unique_lock<std::mutex>& lock);
  void RunEventTaker();

  TTimerClock& clock_;
  const std::uint8_t timerPriority_ = kDefaultTimerPriority;
  const std::uint8_t eventPriority_ = kDefaultEventPriority;
  std::atomic<std::int32_t> interval_{kDefaultInterval};

  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable tickingWake_;
  std::condition_variable eventWake_;
  bool enabled_ = false;
  std::uint32_t enablings_ = 0;  // each enabling starts a fresh interval
  bool tickPending_ = false;     // handed to the event-taker, not yet taken up
  bool busy_ = false;            // the event-taker is inside OnTimer
  bool tickingStopRequested_ = false;
  bool stopRequested_ = false;

  std::thread eventTaker_;
  std::thread ticking_;
};

}  // namespace sntp
