#pragma once
// Finds an image inside an icon file (the window icon is stored in the layout
// as a whole icon file). Platform-free.
#include <cstdint>
#include <optional>
#include <span>

namespace quickintro {

struct TIconImage {
  int Width = 0;   // pixels; an icon file stores 256 as 0
  int Height = 0;
  int BitCount = 0;
  std::span<const uint8_t> Bits;  // the image's bitmap data as stored
};

// The image of the icon file closest to the wanted size (the first of equal
// ones), or nothing when the file is damaged or holds no image.
std::optional<TIconImage> FindIconImage(std::span<const uint8_t> iconFile, int wantedSize);

}  // namespace quickintro
