#include "dib_writer.h"

#include <algorithm>
#include <span>
#include <string>

#include "graphic_error.h"
#include "lzw_decoder.h"

namespace quickintro::gif {
namespace {

void AppendLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  AppendLe16(out, value & 0xFFFF);
  AppendLe16(out, value >> 16);
}

// Sizes fit: at most 65536 x 65535 pixel bytes plus 1078, below 2^32.
void AppendHeaders(std::vector<std::uint8_t>& out, const FrameFormat& format, int bitsPerPixel,
                   std::uint32_t paletteSize, std::uint32_t imageSize) {
  out.push_back('B');
  out.push_back('M');
  AppendLe32(out, imageSize + paletteSize + kDibHeadersSize);  // file size
  AppendLe32(out, 0);                                          // two reserved words
  AppendLe32(out, paletteSize + kDibHeadersSize);              // offset of the pixels
  AppendLe32(out, 40);
  AppendLe32(out, format.width);
  AppendLe32(out, format.height);  // positive: rows stored bottom-up
  AppendLe16(out, 1);              // planes
  AppendLe16(out, static_cast<std::uint32_t>(bitsPerPixel));
  AppendLe32(out, 0);  // no compression
  AppendLe32(out, imageSize);
  AppendLe32(out, 0);  // horizontal resolution
  AppendLe32(out, 0);  // vertical resolution
  AppendLe32(out, 0);  // colours used: all 2^depth
  AppendLe32(out, 0);  // important colours
}

void AppendPalette(std::vector<std::uint8_t>& out, const ColorTableRec& table, int bitsPerPixel) {
  const auto palette = FillDibPalette(table);
  for (std::size_t i = 0; i < (std::size_t{1} << bitsPerPixel); ++i) {
    out.push_back(palette[i].blue);
    out.push_back(palette[i].green);
    out.push_back(palette[i].red);
    out.push_back(palette[i].reserved);
  }
}

// A frame larger than the bounds fails before its bitmap is allocated.
void CheckFrameSize(const FrameFormat& format, std::span<const std::uint8_t> data) {
  const std::uint64_t pixels = std::uint64_t{format.width} * format.height;
  const bool tooLarge = pixels > kMostFramePixels;
  if (!tooLarge && (pixels <= kShortDataFramePixels || pixels <= MostDecodablePixels(data))) return;
  const std::string size = std::to_string(format.width) + " x " + std::to_string(format.height) + " pixels";
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

std::array<DibPaletteEntry, 256> FillDibPalette(const ColorTableRec& table) {
  std::array<DibPaletteEntry, 256> palette{};
  const int count = std::clamp(table.Count, 0, 256);
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* rgb = &table.Entries[static_cast<std::size_t>(i) * 3];
    palette[static_cast<std::size_t>(i)] = {rgb[2], rgb[1], rgb[0], 0};
  }
  return palette;
}

bool BuildFrameDib(CompressedSource& source, const FrameFormat& format, const ColorTableRec& table,
                   const DecodeProgressSink& progress, std::vector<std::uint8_t>& output) {
  const int bitsPerPixel = PickDibDepth(format.pixelBits);
  CheckFrameSize(format, source.Unread());
  const auto imageSize = static_cast<std::uint32_t>(DibStride(bitsPerPixel, format.width) * format.height);
  const auto paletteSize = static_cast<std::uint32_t>(4u << bitsPerPixel);
  output.clear();
  output.reserve(kDibHeadersSize + paletteSize + std::size_t{imageSize});
  AppendHeaders(output, format, bitsPerPixel, paletteSize, imageSize);
  AppendPalette(output, table, bitsPerPixel);
  // The decoder writes straight into the file's pixel block, zero-filled so
  // that pixels it does not reach have colour index 0.
  const std::size_t pixelStart = output.size();
  output.resize(pixelStart + imageSize);
  try {
    return DecodeFrameBits(source, format, bitsPerPixel, progress,
                           std::span<std::uint8_t>(output).subspan(pixelStart));
  } catch (...) {
    output.resize(pixelStart);
    throw;
  }
}

}  // namespace quickintro::gif
