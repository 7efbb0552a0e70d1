// Ordinary processes on POSIX systems get no per-thread priority under the
// default scheduler; the timer runs there at the default level.
#include "sntp/timer/thread_priority.h"

namespace sntp {

void SetTimerThreadPriority(std::thread&, std::uint8_t) {}

}  // namespace sntp
