#pragma once
// Plain inputs of one frame decode, as the GIF reader holds them, and the row
// layout of the bitmap they decode into. Platform-free.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quickintro::gif {

// A colour table: Count entries of red, green, blue; entries at and beyond
// Count are 0. Count is 0 (no table) or 2 to 256.
struct ColorTableRec {
  std::int32_t Count = 0;
  std::array<std::uint8_t, 256 * 3> Entries{};
};

struct FrameFormat {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  int pixelBits = 8;  // PixelBits: bits per pixel of the frame's colour table, 1 to 8
  bool interlaced = false;
};

// Bytes per bitmap row: bits x width rounded up to whole 32-bit words.
constexpr std::size_t DibStride(int bitsPerPixel, std::size_t width) {
  return (static_cast<std::size_t>(bitsPerPixel) * width + 31) / 32 * 4;
}

}  // namespace quickintro::gif
