#pragma once
// Progress notifications of a frame decode. Platform-free.

#include <functional>
#include <string>

namespace quickintro::gif {

enum DecodeStage { dsStart = 0, dsRunning = 1, dsEnd = 2 };

// Receives one dsStart (0 percent), a dsRunning after each code, and one dsEnd:
// 100 percent after success, or 0 percent and the failure's message. May be
// empty, and then costs nothing per code.
using DecodeProgressSink =
    std::function<void(DecodeStage stage, int percentDone, const std::string& message)>;

}  // namespace quickintro::gif
