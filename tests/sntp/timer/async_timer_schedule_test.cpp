// The timer's schedule in virtual time: ticks and overruns, the enabling
// rules, the spent state, handler failures and destruction, each at an exact
// time on a clock the test moves, so no result depends on the machine's load.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "manual_timer_clock.h"
#include "sntp/timer/async_timer.h"

namespace {

using sntp::EAsyncTimerError;
using sntp::TAsyncTimer;
using Times = std::vector<std::int64_t>;

struct HandlerBehaviour {
  std::int64_t OnTimerMs = 0;   // virtual time OnTimer takes
  bool OnTimerDisables = false;  // as the SNTP client's timeout routine does
  bool HandlersThrow = false;
};

// A timer on a manual clock whose handlers log the virtual time they start at.
class ClockedTimer {
 public:
  explicit ClockedTimer(HandlerBehaviour behaviour = {})
      : timer_(std::make_unique<TAsyncTimer>(Clock)) {
    timer_->OnTimer = [this, behaviour](TAsyncTimer* sender) {
      Log(ticks_);
      Clock.Sleep(behaviour.OnTimerMs);
      if (behaviour.OnTimerDisables) sender->SetEnabled(false);
      ++finishedHandlers_;
      if (behaviour.HandlersThrow) throw std::runtime_error("handler failure");
    };
    timer_->OnOverrun = [this, behaviour](TAsyncTimer*) {
      Log(overruns_);
      if (behaviour.HandlersThrow) throw std::runtime_error("handler failure");
    };
  }

  // A handler still sleeping in virtual time would hold the destructor forever.
  ~ClockedTimer() {
    if (!timer_) return;
    timer_->SetEnabled(false);
    Clock.RunUntil(Clock.Millis() + 1000);
  }

  TAsyncTimer& Timer() { return *timer_; }
  void Destroy() { timer_.reset(); }
  int FinishedHandlers() const { return finishedHandlers_.load(); }
  Times Ticks() const { return Copy(ticks_); }
  Times Overruns() const { return Copy(overruns_); }

  ManualTimerClock Clock;

 private:
  void Log(Times& times) {
    std::lock_guard<std::mutex> lock(mutex_);
    times.push_back(Clock.Millis());
  }
  Times Copy(const Times& times) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return times;
  }

  mutable std::mutex mutex_;
  Times ticks_;
  Times overruns_;
  std::atomic<int> finishedHandlers_{0};
  std::unique_ptr<TAsyncTimer> timer_;  // destroyed first: its threads use the rest
};

enum class Op { enable, disable, reenable, interval };
struct Step {
  std::int64_t At;
  Op Kind;
  std::int32_t Value = 0;
};

void RunScript(ClockedTimer& timed, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    timed.Clock.RunUntil(step.At);
    TAsyncTimer& timer = timed.Timer();
    switch (step.Kind) {
      case Op::enable: timer.SetEnabled(true); break;
      case Op::disable: timer.SetEnabled(false); break;
      case Op::reenable: timer.SetEnabled(false); timer.SetEnabled(true); break;
      case Op::interval: timer.SetInterval(step.Value); break;
    }
  }
}

struct ScheduleCase {
  const char* Name;
  HandlerBehaviour Behaviour;
  std::vector<Step> Steps;
  std::int64_t Until;
  Times Ticks, Overruns;
  bool Spent = false;
};

const ScheduleCase kScheduleCases[] = {
    // OnTimer busy at a tick costs that tick; an idle one takes the next.
    {"handler of 250 ms", {250}, {{0, Op::enable}}, 750, {100, 400, 700}, {200, 300, 500, 600}},
    {"handler ending between ticks", {150}, {{0, Op::enable}}, 550, {100, 300, 500}, {200, 400}},
    {"instant handler", {0}, {{0, Op::enable}}, 350, {100, 200, 300}, {}},
    {"short interval", {100}, {{0, Op::interval, 40}, {0, Op::enable}}, 250, {40, 160}, {80, 120, 200, 240}},
    {"failing handlers", {150, false, true}, {{0, Op::enable}}, 550, {100, 300, 500}, {200, 400}},
    // Enabling and disabling.
    {"enabling an enabled timer keeps its interval", {}, {{0, Op::enable}, {50, Op::enable}}, 250, {100, 200}, {}},
    {"disabling a disabled timer changes nothing", {}, {{20, Op::disable}, {30, Op::enable}}, 250, {130, 230}, {}},
    {"each enabling starts a fresh interval", {}, {{0, Op::enable}, {50, Op::disable}, {120, Op::enable}}, 350,
     {220, 320}, {}},
    {"disabling and enabling at once starts afresh", {}, {{0, Op::enable}, {50, Op::reenable}}, 300, {150, 250}, {}},
    {"no tick while disabled", {}, {{0, Op::enable}, {150, Op::disable}}, 1000, {100}, {}},
    {"handler disables, owner enables again", {0, true}, {{0, Op::enable}, {500, Op::enable}}, 1000, {100, 600}, {}},
    // Interval changes and the spent state.
    {"a new interval applies from the next one", {}, {{0, Op::enable}, {150, Op::interval, 300}}, 600,
     {100, 200, 500}, {}},
    {"interval 0 ends the ticking for good", {},
     {{0, Op::enable}, {150, Op::interval, 0}, {250, Op::interval, 100}, {260, Op::disable}, {270, Op::enable}},
     1000, {100}, {}, true},
    {"a negative interval before enabling spends the timer", {},
     {{0, Op::interval, -5}, {10, Op::enable}, {20, Op::interval, 100}}, 500, {}, {}, true},
};

TEST(TimerSchedule, TicksOverrunsEnablingAndSpentState) {
  for (const ScheduleCase& c : kScheduleCases) {
    SCOPED_TRACE(c.Name);
    ClockedTimer timed(c.Behaviour);
    RunScript(timed, c.Steps);
    timed.Clock.RunUntil(c.Until);
    EXPECT_EQ(timed.Ticks(), c.Ticks);
    EXPECT_EQ(timed.Overruns(), c.Overruns);
    EXPECT_EQ(timed.Clock.LiveThreads(), c.Spent ? 1 : 2) << "only the event-taker outlives a spent timer";
  }
}

TEST(TimerEvents, HandlerReplacedWhileRunningFinishesItsCall) {
  ManualTimerClock clock;
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
  struct Case {
    const char* Name;
    std::vector<Step> Steps;
    std::int64_t DestroyAt;
    Times Ticks;
  };
  const Case cases[] = {
      {"never enabled", {}, 50, {}},
      {"enabled, mid-interval", {{0, Op::enable}}, 150, {100}},
      {"disabled after ticking", {{0, Op::enable}, {150, Op::disable}}, 300, {100}},
      {"spent", {{0, Op::enable}, {50, Op::interval, 0}}, 300, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ClockedTimer timed;
    RunScript(timed, c.Steps);
    timed.Clock.RunUntil(c.DestroyAt);
    timed.Destroy();
    EXPECT_EQ(timed.Clock.LiveThreads(), 0);
    EXPECT_EQ(timed.Ticks(), c.Ticks);
  }
}

TEST(TimerDestruction, WaitsUntilTheRunningHandlerReturns) {
  ClockedTimer timed({250});
  RunScript(timed, {{0, Op::enable}});
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
  EXPECT_EQ(timed.Overruns(), Times{});
}

TEST(TimerConstruction, ThreadCreationFailureRaisesAndLeavesNoThread) {
  const std::pair<int, const char*> cases[] = {{1, "Timer event taker thread creation error"},
                                               {2, "Thread creation error"}};
  for (const auto& [refusedStart, message] : cases) {
    ManualTimerClock clock;
    clock.RefuseThreadStart(refusedStart);
    try {
      TAsyncTimer timer(clock);
      ADD_FAILURE() << "constructed: " << message;
    } catch (const EAsyncTimerError& error) {
      EXPECT_STREQ(error.what(), message);
    }
    EXPECT_EQ(clock.LiveThreads(), 0) << message;
  }
}

}  // namespace
