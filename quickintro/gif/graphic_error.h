#pragma once
// Failure kinds of the picture code and their messages, word for word as the
// wizard shows them. Platform-free.

#include <stdexcept>
#include <string>

namespace quickintro::gif {

inline constexpr const char* kWrongColorCountMessage = "Wrong number of colors; must be a power of 2";
inline constexpr const char* kCodeSizeRangeMessage = "GIF code size not in range 2 to 9";
inline constexpr const char* kStreamReadMessage = "Stream read error";

// A picture operation that the data or the arguments do not allow.
class EInvalidGraphicOperation : public std::runtime_error {
 public:
  explicit EInvalidGraphicOperation(const std::string& message) : std::runtime_error(message) {}
};

// Data ended before a read that the format requires.
class EReadError : public std::runtime_error {
 public:
  explicit EReadError(const std::string& message = kStreamReadMessage) : std::runtime_error(message) {}
};

}  // namespace quickintro::gif
