#pragma once
// Plain inputs of one frame decode, as the GIF reader holds them.
// Platform-free.

#include <array>
#include <cstdint>

namespace quickintro::gif {

// A colour table: Count entries of red, green, blue; entries at and beyond
// Count are 0. Count is 0 (no table) or 2 to 256.
struct TColorTableRec {
  std::int32_t Count = 0;
  std::array<std::uint8_t, 256 * 3> Entries{};
};

struct TFrameFormat {
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  int PixelBits = 8;  // bits per pixel of the frame's colour table, 1 to 8
  bool Interlaced = false;
};

}  // namespace quickintro::gif
