#pragma once
// Colour values of the wizard and its pictures: 32 bits, red in the low
// byte, then green, then blue. Platform-free; in namespace quickintro, since
// the layout uses them as well as the picture code.

#include <cstdint>

namespace quickintro {

// No colour: an item without a colour of its own, a frame without a
// transparent colour.
inline constexpr std::uint32_t clNone = 0x1FFFFFFF;

// A value with the top bit set names a system colour by its index in the
// low byte; the Win32 edge resolves it.
inline constexpr std::uint32_t kSystemColorBit = 0x80000000;
constexpr bool IsSystemColor(std::uint32_t color) { return (color & kSystemColorBit) != 0; }

// The colour value of red, green and blue bytes.
constexpr std::uint32_t RgbColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return red | (std::uint32_t{green} << 8) | (std::uint32_t{blue} << 16);
}

}  // namespace quickintro
