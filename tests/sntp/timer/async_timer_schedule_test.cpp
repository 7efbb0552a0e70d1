// The timer's schedule in virtual time as the exchange timer uses it (one
// interval, enabled and disabled, a handler that only posts): ticks, the
// enabling rules, handler failures, handlers replaced while they run, and
// destruction, each at an exact time on a clock the test moves, so no result
// depends on the machine's load.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "sntp/timer/async_timer.h"
#include "tests/sntp/timer/manual_timer_clock.h"

namespace sntp {
namespace {

using test::TManualTimerClock;
using Times = std::vector<std::int64_t>;

struct THandlerBehaviour {
  std::int64_t OnTimerMs = 0;  // virtual time OnTimer takes
  bool Throws = false;
};

// A timer on a manual clock whose OnTimer logs the virtual time it starts at.
class TClockedTimer {
 public:
  explicit TClockedTimer(THandlerBehaviour behaviour = {}) : timer_(std::make_unique<TAsyncTimer>(Clock)) {
    timer_->OnTimer = [this, behaviour](TAsyncTimer*) {
      Log(Clock.Millis());
      Clock.Sleep(behaviour.OnTimerMs);
      ++finishedHandlers_;
      if (behaviour.Throws) throw std::runtime_error("handler failure");
    };
  }

  // A handler still sleeping in virtual time would hold the destructor forever.
  ~TClockedTimer() {
    if (!timer_) return;
    timer_->SetEnabled(false);
    Clock.RunUntil(Clock.Millis() + 1000);
  }

  TAsyncTimer& Timer() { return *timer_; }
  void Destroy() { timer_.reset(); }
  int FinishedHandlers() const { return finishedHandlers_.load(); }
  Times Ticks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_;
  }

  TManualTimerClock Clock;

 private:
  void Log(std::int64_t at) {
    std::lock_guard<std::mutex> lock(mutex_);
    ticks_.push_back(at);
  }

  mutable std::mutex mutex_;
  Times ticks_;
  std::atomic<int> finishedHandlers_{0};
  std::unique_ptr<TAsyncTimer> timer_;  // destroyed first: its threads use the rest
};

enum class TOp { enable, disable, reenable };
struct TStep {
  std::int64_t At;
  TOp Kind;
};

void RunScript(TClockedTimer& timed, const std::vector<TStep>& steps) {
  for (const TStep& step : steps) {
    timed.Clock.RunUntil(step.At);
    TAsyncTimer& timer = timed.Timer();
    if (step.Kind != TOp::enable) timer.SetEnabled(false);
    if (step.Kind != TOp::disable) timer.SetEnabled(true);
  }
}

// The interval is the default 100 ms.
TEST(TimerSchedule, TicksAndTheEnablingRules) {
  struct TCase {
    const char* Name;
    THandlerBehaviour Behaviour;
    std::vector<TStep> Steps;
    std::int64_t Until;
    Times Ticks;
  };
  const TCase cases[] = {
      {"a tick at each interval", {}, {{0, TOp::enable}}, 350, {100, 200, 300}},
      {"a failing handler stops nothing", {0, true}, {{0, TOp::enable}}, 350, {100, 200, 300}},
      {"each enabling starts a fresh interval", {}, {{0, TOp::enable}, {50, TOp::disable}, {120, TOp::enable}}, 350,
       {220, 320}},
      {"disabling and enabling at once starts afresh", {}, {{0, TOp::enable}, {50, TOp::reenable}}, 300, {150, 250}},
      {"no tick while disabled", {}, {{0, TOp::enable}, {150, TOp::disable}}, 1000, {100}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TClockedTimer timed(c.Behaviour);
    RunScript(timed, c.Steps);
    timed.Clock.RunUntil(c.Until);
    EXPECT_EQ(timed.Ticks(), c.Ticks);
    EXPECT_EQ(timed.Clock.LiveThreads(), 2);
  }
}

// The exchange timer gives each enabling a handler of its own.
TEST(TimerEvents, HandlerReplacedWhileRunningFinishesItsCall) {
  TManualTimerClock clock;
  std::mutex mutex;
  std::vector<std::string> calls;
  TAsyncTimer timer(clock);
  const std::string first(64, 'f');  // on the heap, so a freed capture shows
  timer.OnTimer = [&, first](TAsyncTimer* sender) {
    sender->OnTimer = [&](TAsyncTimer*) {
      std::lock_guard<std::mutex> lock(mutex);
      calls.push_back("second");
    };
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(first);
  };
  timer.SetEnabled(true);
  clock.RunUntil(250);
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(calls, (std::vector<std::string>{first, "second"}));
}

// No case advances time while destroying: a destructor that waited for the
// current interval to run out would never return.
TEST(TimerDestruction, EndsBothThreadsWithoutWaitingOutTheInterval) {
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
    std::int64_t DestroyAt;
    Times Ticks;
  };
  const TCase cases[] = {
      {"never enabled", {}, 50, {}},
      {"enabled, mid-interval", {{0, TOp::enable}}, 150, {100}},
      {"disabled after ticking", {{0, TOp::enable}, {150, TOp::disable}}, 300, {100}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TClockedTimer timed;
    RunScript(timed, c.Steps);
    timed.Clock.RunUntil(c.DestroyAt);
    timed.Destroy();
    EXPECT_EQ(timed.Clock.LiveThreads(), 0);
    EXPECT_EQ(timed.Ticks(), c.Ticks);
  }
}

TEST(TimerDestruction, WaitsUntilTheRunningHandlerReturns) {
  TClockedTimer timed({250});
  RunScript(timed, {{0, TOp::enable}});
  timed.Clock.RunUntil(150);  // OnTimer runs from 100 to 350
  std::atomic<int> finishedWhenDestroyed{-1};
  std::thread owner([&] {
    timed.Destroy();
    finishedWhenDestroyed = timed.FinishedHandlers();
  });
  timed.Clock.Settle(1);  // the ticking thread has ended, the handler still runs
  EXPECT_EQ(finishedWhenDestroyed.load(), -1);
  timed.Clock.RunUntil(350);
  owner.join();
  EXPECT_EQ(finishedWhenDestroyed.load(), 1);
  EXPECT_EQ(timed.Clock.LiveThreads(), 0);
  EXPECT_EQ(timed.Ticks(), (Times{100}));
}

// The second thread refused: the first one, already running, is ended too.
TEST(TimerConstruction, ThreadCreationFailureRaisesAndLeavesNoThread) {
  TManualTimerClock clock;
  clock.RefuseThreadStart(2);
  EXPECT_THROW(TAsyncTimer timer(clock), EAsyncTimerError);
  EXPECT_EQ(clock.LiveThreads(), 0);
}

}  // namespace
}  // namespace sntp
