#pragma once
// Progress notifications of a frame decode. Platform-free.

#include <cstdint>
#include <functional>
#include <string>

namespace quickintro::gif {

enum TProgressStage : std::uint8_t { psStarting = 0, psRunning = 1, psEnding = 2 };

// Receives one psStarting (0 percent), a psRunning after each code, and one
// psEnding: 100 percent after success, or 0 percent and the failure's
// message. May be empty, and then costs nothing per code.
using DecodeProgressSink = std::function<void(TProgressStage stage, int percentDone, const std::string& message)>;

}  // namespace quickintro::gif
