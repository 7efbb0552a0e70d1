#include "quickintro/gif/bitmap_file.h"

#include <stdexcept>

namespace quickintro::gif {
namespace {

constexpr std::uint32_t kUncompressed = 0;
// The headers give the file's and the rows' sizes in 32 bits.
constexpr std::uint64_t kLargestFile = UINT32_MAX;

void AppendLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  AppendLe16(out, value & 0xFFFF);
  AppendLe16(out, value >> 16);
}

}  // namespace

std::optional<TBitmapLayout> PlanBitmapFile(std::int64_t width, std::int64_t height, int bitsPerPixel) {
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 32) return std::nullopt;
  if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  const std::uint64_t paletteEntries = bitsPerPixel == 32 ? 0 : std::uint64_t{1} << bitsPerPixel;
  const std::uint64_t stride = DibStride(bitsPerPixel, static_cast<std::uint64_t>(width));
  const std::uint64_t pixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4 * paletteEntries;
  // stride <= 2^33 and height < 2^31: the product fits 64 bits.
  const std::uint64_t fileSize = pixelOffset + stride * static_cast<std::uint64_t>(height);
  if (fileSize > kLargestFile || fileSize > SIZE_MAX) return std::nullopt;
  TBitmapLayout layout;
  layout.Width = static_cast<std::int32_t>(width);
  layout.Height = static_cast<std::int32_t>(height);
  layout.BitsPerPixel = bitsPerPixel;
  layout.PaletteEntries = static_cast<std::size_t>(paletteEntries);
  layout.PixelOffset = static_cast<std::size_t>(pixelOffset);
  layout.Stride = static_cast<std::size_t>(stride);
  layout.FileSize = static_cast<std::size_t>(fileSize);
  return layout;
}

std::vector<std::uint8_t> NewBitmapFile(const TBitmapLayout& layout, std::span<const TDibPaletteEntry> palette,
                                        std::size_t spareBytes) {
  if (palette.size() != layout.PaletteEntries) throw std::invalid_argument("palette size unlike the bitmap's");
  const auto rowsSize = static_cast<std::uint32_t>(layout.FileSize - layout.PixelOffset);
  std::vector<std::uint8_t> file{'B', 'M'};
  file.reserve(layout.FileSize + spareBytes);
  AppendLe32(file, static_cast<std::uint32_t>(layout.FileSize));
  AppendLe32(file, 0);  // two reserved words
  AppendLe32(file, static_cast<std::uint32_t>(layout.PixelOffset));
  AppendLe32(file, kBitmapInfoHeaderSize);
  AppendLe32(file, static_cast<std::uint32_t>(layout.Width));
  AppendLe32(file, static_cast<std::uint32_t>(layout.Height));  // positive: rows stored bottom-up
  AppendLe16(file, 1);                                          // planes
  AppendLe16(file, static_cast<std::uint32_t>(layout.BitsPerPixel));
  AppendLe32(file, kUncompressed);
  AppendLe32(file, rowsSize);
  for (int i = 0; i < 4; ++i) AppendLe32(file, 0);  // resolutions; all 2^bits colours used and important
  for (const TDibPaletteEntry& entry : palette) file.insert(file.end(), {entry.Blue, entry.Green, entry.Red, entry.Reserved});
  file.resize(layout.FileSize);
  return file;
}

TBitmap::TBitmap(std::vector<std::uint8_t> file, const TBitmapLayout& layout) : file_(std::move(file)), layout_(layout) {
  if (file_.size() != layout_.FileSize) throw std::invalid_argument("bitmap file unlike its layout");
}

std::span<const std::uint8_t> TBitmap::Info() const {
  return std::span(file_).subspan(kBitmapFileHeaderSize, layout_.PixelOffset - kBitmapFileHeaderSize);
}

std::span<const std::uint8_t> TBitmap::PixelRows() const { return std::span(file_).subspan(layout_.PixelOffset); }

std::span<std::uint8_t> TBitmap::PixelRows() { return std::span(file_).subspan(layout_.PixelOffset); }

}  // namespace quickintro::gif
