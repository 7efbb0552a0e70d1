#pragma once
// Thread priority levels of the timer: 0 (idle) to 6 (time-critical).
#include <cstdint>
#include <thread>

namespace sntp {

constexpr std::uint8_t kHighestTimerPriorityLevel = 6;

// Gives a freshly started timer thread its priority level; levels above the
// highest count as the highest. Where the platform has no per-thread priority
// for ordinary processes, this does nothing.
void SetTimerThreadPriority(std::thread& thread, std::uint8_t level);

}  // namespace sntp
