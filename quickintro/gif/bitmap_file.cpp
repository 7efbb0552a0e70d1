#include "quickintro/gif/bitmap_file.h"

#include "quickintro/gif/little_endian.h"

namespace quickintro::gif {
namespace {

// Offsets of the header fields.
enum TBitmapField : std::size_t {
  bfFileSize = 2,
  bfPixelOffset = 10,
  bfInfoSize = 14,
  bfWidth = 18,
  bfHeight = 22,
  bfBitsPerPixel = 28,
  bfCompression = 30,
};

constexpr std::uint32_t kUncompressed = 0;

bool KnownDepth(std::uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

}  // namespace

std::vector<std::uint8_t> NewBitmapFile(int width, int height, int bitsPerPixel,
                                        std::span<const TDibPaletteEntry> palette, std::size_t spareBytes) {
  const auto paletteSize = static_cast<std::uint32_t>(4 * palette.size());
  const auto pixelOffset = static_cast<std::uint32_t>(kBitmapFileHeaderSize + kBitmapInfoHeaderSize) + paletteSize;
  const auto imageSize = static_cast<std::uint32_t>(DibStride(bitsPerPixel, static_cast<std::size_t>(width)) *
                                                    static_cast<std::size_t>(height));
  std::vector<std::uint8_t> file{'B', 'M'};
  file.reserve(std::size_t{pixelOffset} + imageSize + spareBytes);
  AppendLe32(file, pixelOffset + imageSize);
  AppendLe32(file, 0);  // two reserved words
  AppendLe32(file, pixelOffset);
  AppendLe32(file, kBitmapInfoHeaderSize);
  AppendLe32(file, static_cast<std::uint32_t>(width));
  AppendLe32(file, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
  AppendLe16(file, 1);                                   // planes
  AppendLe16(file, static_cast<std::uint32_t>(bitsPerPixel));
  AppendLe32(file, kUncompressed);
  AppendLe32(file, imageSize);
  for (int i = 0; i < 4; ++i) AppendLe32(file, 0);  // resolutions; all 2^bits colours used and important
  const std::size_t paletteAt = file.size();
  file.resize(paletteAt + paletteSize + imageSize);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const TDibPaletteEntry& entry = palette[i];
    std::uint8_t* const to = file.data() + paletteAt + 4 * i;
    to[0] = entry.Blue;
    to[1] = entry.Green;
    to[2] = entry.Red;
    to[3] = entry.Reserved;
  }
  return file;
}

std::optional<TBitmapLayout> ReadBitmapLayout(std::span<const std::uint8_t> file) {
  if (file.size() < kBitmapFileHeaderSize + kBitmapInfoHeaderSize || file[0] != 'B' || file[1] != 'M')
    return std::nullopt;
  const std::uint32_t infoSize = ReadLe32(file, bfInfoSize);
  const std::uint32_t pixelOffset = ReadLe32(file, bfPixelOffset);
  const std::uint32_t bits = ReadLe16(file, bfBitsPerPixel);
  const auto width = static_cast<std::int32_t>(ReadLe32(file, bfWidth));
  const auto height = static_cast<std::int32_t>(ReadLe32(file, bfHeight));
  if (infoSize < kBitmapInfoHeaderSize || pixelOffset < kBitmapFileHeaderSize + infoSize || pixelOffset > file.size())
    return std::nullopt;
  if (ReadLe32(file, bfCompression) != kUncompressed || !KnownDepth(bits) || width < 0 || height == INT32_MIN)
    return std::nullopt;
  TBitmapLayout layout;
  layout.Width = width;
  layout.Height = height < 0 ? -height : height;
  layout.TopDown = height < 0;
  layout.BitsPerPixel = static_cast<int>(bits);
  layout.PixelOffset = pixelOffset;
  layout.Stride = DibStride(layout.BitsPerPixel, static_cast<std::size_t>(width));
  // The rows must all be there: at most 2^31 x 4 bytes x 2^31, within 64 bits.
  if (std::uint64_t{layout.Stride} * static_cast<std::uint64_t>(layout.Height) > file.size() - pixelOffset)
    return std::nullopt;
  return layout;
}

}  // namespace quickintro::gif
