// The client's exchange timer on Windows: its ticks reach the handler in the
// thread that made it, once the interval has run; ticks that belong to an
// enabling already over are dropped; the handler may free the timer.
//
// The timer runs in virtual time: it ticks only when the test moves the
// clock, so each tick lands at a known point in the message queue.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "sntp/platform/win32/exchange_timer.h"
#include "tests/sntp/timer/manual_timer_clock.h"
#include "tests/sntp/win32/message_pump.h"

namespace sntp {
namespace {

using test::TManualTimerClock;

constexpr int32_t kIntervalMs = 1000;

// A timer on a virtual clock counting its timeouts and where they ran.
struct TTimedExchange {
  TManualTimerClock Clock;
  int Timeouts = 0;
  bool InThisThread = true;
  std::unique_ptr<TMessageExchangeTimer> Timer = std::make_unique<TMessageExchangeTimer>(Clock, [this] {
    ++Timeouts;
    InThisThread = InThisThread && GetCurrentThreadId() == thread_;
  });

  // Moves virtual time to Ms, then delivers what the timer posted.
  void RunUntilAndDispatch(int64_t ms) {
    Clock.RunUntil(ms);
    test::PumpPosted();
  }

 private:
  const DWORD thread_ = GetCurrentThreadId();
};

TEST(ExchangeTimer, TimesOutInTheThreadThatMadeIt) {
  TTimedExchange t;
  t.Timer->Enable(kIntervalMs);
  t.RunUntilAndDispatch(kIntervalMs - 1);
  EXPECT_EQ(t.Timeouts, 0) << "not before the interval has run";
  t.RunUntilAndDispatch(kIntervalMs);
  EXPECT_EQ(t.Timeouts, 1);
  EXPECT_TRUE(t.InThisThread);
}

// A tick posted during one enabling and dispatched after the timer was
// disabled, or enabled anew, is dropped; the new enabling keeps its own
// interval.
TEST(ExchangeTimer, TicksOfAnEarlierEnablingAreDropped) {
  using TStep = void (*)(TMessageExchangeTimer&);
  struct TCase { const char* What; TStep BeforeDispatch; int Timeouts, TimeoutsAfterAnInterval; };
  const TCase cases[] = {
      {"disabled", [](TMessageExchangeTimer& timer) { timer.Disable(); }, 0, 0},
      {"enabled anew", [](TMessageExchangeTimer& timer) { timer.Enable(kIntervalMs); }, 0, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TTimedExchange t;
    t.Timer->Enable(kIntervalMs);
    t.Clock.RunUntil(kIntervalMs);  // the tick is posted, not yet dispatched
    c.BeforeDispatch(*t.Timer);
    test::PumpPosted();
    EXPECT_EQ(t.Timeouts, c.Timeouts);
    t.RunUntilAndDispatch(2 * kIntervalMs);
    EXPECT_EQ(t.Timeouts, c.TimeoutsAfterAnInterval);
  }
}

TEST(ExchangeTimer, GoingEndsItsThreadsAndDropsItsLastTick) {
  TTimedExchange t;
  t.Timer->Enable(kIntervalMs);
  EXPECT_EQ(t.Clock.LiveThreads(), 2);
  t.Clock.RunUntil(kIntervalMs);  // a tick waits for a window about to go
  t.Timer.reset();
  EXPECT_EQ(t.Clock.LiveThreads(), 0);
  test::PumpPosted();
  EXPECT_EQ(t.Timeouts, 0);
}

// As the client does when its user releases it on a timeout.
TEST(ExchangeTimer, TheHandlerMayFreeTheTimer) {
  TManualTimerClock clock;
  std::unique_ptr<TMessageExchangeTimer> timer;
  timer = std::make_unique<TMessageExchangeTimer>(clock, [&] { timer.reset(); });
  timer->Enable(kIntervalMs);
  clock.RunUntil(kIntervalMs);
  test::PumpPosted();
  EXPECT_EQ(timer, nullptr);
  EXPECT_EQ(clock.LiveThreads(), 0);
}

}  // namespace
}  // namespace sntp
