#include "icon_file.h"

#include <cstdlib>

namespace quickintro {
namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;

uint32_t ReadLittle(std::span<const uint8_t> bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

// One directory entry, or nothing when its image lies outside the file.
std::optional<IconImage> ReadEntry(std::span<const uint8_t> file, size_t at) {
  IconImage image;
  image.width = file[at] == 0 ? 256 : file[at];
  image.height = file[at + 1] == 0 ? 256 : file[at + 1];
  image.bitCount = static_cast<int>(ReadLittle(file, at + 6, 2));
  uint32_t size = ReadLittle(file, at + 8, 4);
  uint32_t offset = ReadLittle(file, at + 12, 4);
  if (offset > file.size() || size > file.size() - offset || size == 0) return std::nullopt;
  image.bits = file.subspan(offset, size);
  return image;
}

}  // namespace

std::optional<IconImage> FindIconImage(std::span<const uint8_t> iconFile, int wantedSize) {
  if (iconFile.size() < kDirectorySize) return std::nullopt;
  if (ReadLittle(iconFile, 0, 2) != 0 || ReadLittle(iconFile, 2, 2) != 1) return std::nullopt;
  size_t count = ReadLittle(iconFile, 4, 2);
  if (count > (iconFile.size() - kDirectorySize) / kEntrySize) return std::nullopt;
  std::optional<IconImage> best;
  for (size_t i = 0; i < count; ++i) {
    std::optional<IconImage> image = ReadEntry(iconFile, kDirectorySize + i * kEntrySize);
    if (!image) return std::nullopt;
    if (!best || std::abs(image->width - wantedSize) < std::abs(best->width - wantedSize)) best = image;
  }
  return best;
}

}  // namespace quickintro
