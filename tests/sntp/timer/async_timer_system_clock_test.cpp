// The timer on the system clock and real threads: ticks that
// keep coming while OnTimer blocks, and, on Windows, the thread priorities.
// Only orders and counts are asserted, never durations.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "manual_timer_clock.h"
#include "sntp/timer/async_timer.h"

#ifdef _WIN32
#include <windows.h>
#include <pthread.h>
#endif

namespace {

using sntp::TAsyncTimer;
using namespace std::chrono_literals;

// Bounds a wait that would otherwise hang a broken build; never a measurement.
constexpr auto kGuard = 60s;

// OnTimer holds the event-taker until the ticking thread has reported two
// overruns: the ticking must go on beside a blocked handler.
TEST(TimerOnSystemClock, TicksGoOnWhileOnTimerBlocks) {
  TAsyncTimer timer;
  std::mutex mutex;
  std::condition_variable changed;
  int ticks = 0, overruns = 0;
  bool sendersRight = true;
  timer.OnOverrun = [&](TAsyncTimer* sender) {
    std::lock_guard<std::mutex> lock(mutex);
    ++overruns;
    sendersRight = sendersRight && sender == &timer;
    changed.notify_all();
  };
  timer.OnTimer = [&](TAsyncTimer* sender) {
    std::unique_lock<std::mutex> lock(mutex);
    ++ticks;
    sendersRight = sendersRight && sender == &timer;
    changed.notify_all();
    if (ticks == 1) changed.wait_for(lock, kGuard, [&] { return overruns >= 2; });
  };
  timer.SetInterval(2);
  timer.SetEnabled(true);
  std::unique_lock<std::mutex> lock(mutex);
  EXPECT_TRUE(changed.wait_for(lock, kGuard, [&] { return ticks >= 2; }));
  EXPECT_GE(overruns, 2);
  EXPECT_TRUE(sendersRight);
  lock.unlock();
  timer.SetEnabled(false);
}

#ifdef _WIN32
TEST(TimerOnWindows, ThreadsRunAtTheirPriorityLevels) {
  ManualTimerClock clock;
  TAsyncTimer timer(clock);
  const auto threads = clock.StartedThreads();  // the event-taker is started first
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(GetThreadPriority(static_cast<HANDLE>(pthread_gethandle(threads[0]))),
            THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(GetThreadPriority(static_cast<HANDLE>(pthread_gethandle(threads[1]))),
            THREAD_PRIORITY_TIME_CRITICAL);
}
#endif

}  // namespace
