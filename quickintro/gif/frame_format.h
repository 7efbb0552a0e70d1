#pragma once
// Plain inputs of one frame decode, as the GIF reader holds them.
// Platform-free.

#include <cstddef>
#include <cstdint>
#include <span>

#include "quickintro/gif/color_value.h"

namespace quickintro::gif {

// A colour table as a GIF file holds it: red, green and blue bytes for each
// entry; 2 to 256 entries, or none.
using ColorTable = std::span<const std::uint8_t>;

inline int ColorCount(ColorTable table) { return static_cast<int>(table.size() / 3); }

// The colour value of an entry below ColorCount(table).
inline std::uint32_t TableColor(ColorTable table, int index) {
  const ColorTable rgb = table.subspan(static_cast<std::size_t>(index) * 3, 3);
  return RgbColor(rgb[0], rgb[1], rgb[2]);
}

struct TFrameFormat {
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  int PixelBits = 8;  // bits per pixel of the frame's colour table, 1 to 8
  bool Interlaced = false;
};

}  // namespace quickintro::gif
