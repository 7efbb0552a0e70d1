// Priority levels mapped onto the Windows thread priorities. The threads are
// winpthread threads; their Windows handle comes from pthread_gethandle.
#include <windows.h>
#include <pthread.h>

#include <algorithm>

#include "sntp/timer/thread_priority.h"

namespace sntp {
namespace {

constexpr int kWindowsPriorityOfLevel[kHighestTimerPriorityLevel + 1] = {
    THREAD_PRIORITY_IDLE,          THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
    THREAD_PRIORITY_NORMAL,        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
    THREAD_PRIORITY_TIME_CRITICAL,
};

}  // namespace

void SetTimerThreadPriority(std::thread& thread, std::uint8_t level) {
  const std::uint8_t index = std::min(level, kHighestTimerPriorityLevel);
  HANDLE handle = static_cast<HANDLE>(pthread_gethandle(thread.native_handle()));
  if (handle != nullptr) SetThreadPriority(handle, kWindowsPriorityOfLevel[index]);
}

}  // namespace sntp
