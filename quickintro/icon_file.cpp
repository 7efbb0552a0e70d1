#include "quickintro/icon_file.h"

#include <cstdlib>

#include "quickintro/gif/byte_cursor.h"

namespace quickintro {
namespace {

// The next directory entry and its image, or nothing when the entry is cut
// short or its image lies outside the file.
std::optional<TIconImage> ReadEntry(TByteCursor& directory, std::span<const uint8_t> file) {
  const auto entry = directory.Take(16);
  if (!entry) return std::nullopt;
  TByteCursor fields(*entry);
  TIconImage image;
  image.Width = *fields.TakeByte();
  image.Height = *fields.TakeByte();
  if (image.Width == 0) image.Width = 256;
  if (image.Height == 0) image.Height = 256;
  fields.Take(4);  // colour count, reserved, planes
  image.BitCount = static_cast<int>(*fields.TakeLe(2));
  const uint32_t size = *fields.TakeLe(4);
  const uint32_t offset = *fields.TakeLe(4);
  TByteCursor whole(file);
  const auto bits = whole.Take(offset) ? whole.Take(size) : std::nullopt;
  if (!bits || size == 0) return std::nullopt;
  image.Bits = *bits;
  return image;
}

}  // namespace

std::optional<TIconImage> FindIconImage(std::span<const uint8_t> iconFile, int wantedSize) {
  TByteCursor directory(iconFile);
  const std::optional<uint32_t> reserved = directory.TakeLe(2), type = directory.TakeLe(2),
                                count = directory.TakeLe(2);
  if (reserved != 0u || type != 1u || !count) return std::nullopt;
  std::optional<TIconImage> best;
  for (uint32_t i = 0; i < *count; ++i) {
    std::optional<TIconImage> image = ReadEntry(directory, iconFile);
    if (!image) return std::nullopt;
    if (!best || std::abs(image->Width - wantedSize) < std::abs(best->Width - wantedSize)) best = image;
  }
  return best;
}

}  // namespace quickintro
