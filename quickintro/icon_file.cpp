#include "quickintro/icon_file.h"

#include <cstdlib>

#include "quickintro/gif/little_endian.h"

namespace quickintro {
namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;

// One directory entry, or nothing when its image lies outside the file.
std::optional<TIconImage> ReadEntry(std::span<const uint8_t> file, size_t at) {
  TIconImage image;
  image.Width = file[at] == 0 ? 256 : file[at];
  image.Height = file[at + 1] == 0 ? 256 : file[at + 1];
  image.BitCount = static_cast<int>(ReadLe(file, at + 6, 2));
  uint32_t size = ReadLe(file, at + 8, 4);
  uint32_t offset = ReadLe(file, at + 12, 4);
  if (offset > file.size() || size > file.size() - offset || size == 0) return std::nullopt;
  image.Bits = file.subspan(offset, size);
  return image;
}

}  // namespace

std::optional<TIconImage> FindIconImage(std::span<const uint8_t> iconFile, int wantedSize) {
  if (iconFile.size() < kDirectorySize) return std::nullopt;
  if (ReadLe(iconFile, 0, 2) != 0 || ReadLe(iconFile, 2, 2) != 1) return std::nullopt;
  size_t count = ReadLe(iconFile, 4, 2);
  if (count > (iconFile.size() - kDirectorySize) / kEntrySize) return std::nullopt;
  std::optional<TIconImage> best;
  for (size_t i = 0; i < count; ++i) {
    std::optional<TIconImage> image = ReadEntry(iconFile, kDirectorySize + i * kEntrySize);
    if (!image) return std::nullopt;
    if (!best || std::abs(image->Width - wantedSize) < std::abs(best->Width - wantedSize)) best = image;
  }
  return best;
}

}  // namespace quickintro
