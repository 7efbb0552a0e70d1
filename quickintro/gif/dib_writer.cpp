#include "quickintro/gif/dib_writer.h"

#include <algorithm>
#include <span>
#include <string>

#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/lzw_decoder.h"
#include "quickintro/gif/pixel_writer.h"

namespace quickintro::gif {
namespace {

// A frame larger than the bounds fails before its bitmap is allocated.
void CheckFrameSize(const TFrameFormat& format, std::span<const std::uint8_t> data) {
  const std::uint64_t pixels = std::uint64_t{format.Width} * format.Height;
  const bool tooLarge = pixels > kMostFramePixels;
  if (!tooLarge && (pixels <= kShortDataFramePixels || pixels <= MostDecodablePixels(data))) return;
  const std::string size = std::to_string(format.Width) + " x " + std::to_string(format.Height) + " pixels";
  if (tooLarge)
    throw EInvalidGraphicOperation("GIF frame too large: " + size + " (the limit is " +
                                   std::to_string(kMostFramePixels) + " pixels)");
  throw EInvalidGraphicOperation("GIF frame data too short: " + std::to_string(data.size()) +
                                 " bytes cannot fill " + size);
}

}  // namespace

int PickDibDepth(int pixelBits) {
  if (pixelBits == 1) return 1;
  if (pixelBits >= 2 && pixelBits <= 4) return 4;
  if (pixelBits >= 5 && pixelBits <= 8) return 8;
  throw EInvalidGraphicOperation(kWrongColorCountMessage);
}

std::array<TDibPaletteEntry, 256> FillDibPalette(ColorTable table) {
  std::array<TDibPaletteEntry, 256> palette{};
  const int count = std::min(ColorCount(table), 256);
  for (int i = 0; i < count; ++i) {
    const ColorTable rgb = table.subspan(static_cast<std::size_t>(i) * 3, 3);
    palette[static_cast<std::size_t>(i)] = {rgb[2], rgb[1], rgb[0], 0};
  }
  return palette;
}

TFrameDib BuildFrameDib(TByteCursor& source, const TFrameFormat& format, ColorTable table,
                        const DecodeProgressSink& progress) {
  const int bitsPerPixel = PickDibDepth(format.PixelBits);
  CheckFrameSize(format, source.Unread());
  // At most 65535 x 65535 pixels: always a layout.
  const TBitmapLayout layout = PlanBitmapFile(format.Width, format.Height, bitsPerPixel).value();
  const auto palette = FillDibPalette(table);
  std::vector<std::uint8_t> file =
      NewBitmapFile(layout, std::span(palette).first(layout.PaletteEntries), kByteRowSlack);
  // The decoder writes straight into the file's zeroed rows, so that pixels
  // it does not reach have colour index 0, and may read into spare bytes
  // behind them, which go once it is done.
  file.resize(layout.FileSize + kByteRowSlack);
  const bool corrupted =
      DecodeFrameBits(source, format, bitsPerPixel, progress, std::span(file).subspan(layout.PixelOffset));
  file.resize(layout.FileSize);
  return {TBitmap(std::move(file), layout), corrupted};
}

}  // namespace quickintro::gif
