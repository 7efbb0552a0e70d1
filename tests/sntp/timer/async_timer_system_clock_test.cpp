// The timer on the system clock and real threads: its ticks come; on
// Windows, its threads run at their priorities. Only counts are asserted,
// never durations.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "sntp/timer/async_timer.h"
#include "tests/sntp/timer/manual_timer_clock.h"

#ifdef _WIN32
#include <windows.h>
#include <pthread.h>
#endif

namespace sntp {
namespace {

using namespace std::chrono_literals;

TEST(TimerOnSystemClock, TicksCome) {
  TAsyncTimer timer;
  std::mutex mutex;
  std::condition_variable ticked;
  int ticks = 0;
  timer.OnTimer = [&](TAsyncTimer*) {
    std::lock_guard<std::mutex> lock(mutex);
    ++ticks;
    ticked.notify_all();
  };
  timer.SetInterval(2);
  timer.SetEnabled(true);
  std::unique_lock<std::mutex> lock(mutex);
  // Bounds a wait that would otherwise hang a broken build; never a measurement.
  EXPECT_TRUE(ticked.wait_for(lock, 60s, [&] { return ticks >= 3; }));
  lock.unlock();
  timer.SetEnabled(false);
}

#ifdef _WIN32
TEST(TimerOnWindows, ThreadsRunAtTheirPriorityLevels) {
  test::TManualTimerClock clock;
  TAsyncTimer timer(clock);
  const auto threads = clock.StartedThreads();  // the event-taker is started first
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(GetThreadPriority(static_cast<HANDLE>(pthread_gethandle(threads[0]))), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(GetThreadPriority(static_cast<HANDLE>(pthread_gethandle(threads[1]))), THREAD_PRIORITY_TIME_CRITICAL);
}
#endif

}  // namespace
}  // namespace sntp
