#include "pixel_writer.h"

#include <cstring>
#include <stdexcept>

namespace quickintro::gif {
namespace {

std::uint8_t* BitmapLine(const PixelWriter& writer, int row) {
  return writer.pixels + writer.stride * static_cast<std::size_t>(writer.height - 1 - row);
}

// Bytes of one row, one pixel each, into the bitmap's line at 1 or 4 bits.
void PackRow(const std::uint8_t* bytes, int width, int bitsPerPixel, std::uint8_t* line) {
  if (bitsPerPixel == 4) {
    for (int column = 0; column + 1 < width; column += 2)
      line[column / 2] = static_cast<std::uint8_t>(bytes[column] << 4 | bytes[column + 1]);
    if (width % 2) line[width / 2] = static_cast<std::uint8_t>(bytes[width - 1] << 4);
    return;
  }
  for (int column = 0; column < width; column += 8) {
    unsigned packed = 0;
    const int count = width - column < 8 ? width - column : 8;
    for (int bit = 0; bit < count; ++bit) packed |= unsigned{bytes[column + bit]} << (7 - bit);
    line[column / 8] = static_cast<std::uint8_t>(packed);
  }
}

void StartRow(PixelWriter& writer) {
  writer.line = writer.byteRows ? writer.byteRows.get() + writer.rowLines.size() * writer.width
                                : BitmapLine(writer, writer.row);
  writer.rowLines.push_back(writer.line);  // capacity reserved for every row
}

}  // namespace

int NextInterlaceRow(int row, int height, int& pass) {
  const int next = row + (pass <= 1 ? 8 : pass == 2 ? 4 : 2);
  if (next < height) return next;
  switch (pass) {
    case 0:
      pass = 1;
      if (height > 4) return 4;
      [[fallthrough]];
    case 1:
      pass = 2;
      if (height > 2) return 2;
      [[fallthrough]];
    case 2:
      pass = 3;
      return 1;
    default:
      return next;
  }
}

PixelWriter StartPixelWriter(const FrameFormat& format, int bitsPerPixel,
                             std::span<std::uint8_t> pixels) {
  PixelWriter writer;
  writer.width = format.width;
  writer.height = format.height;
  writer.interlaced = format.interlaced;
  writer.bitsPerPixel = bitsPerPixel;
  writer.stride = DibStride(bitsPerPixel, format.width);
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
    throw std::invalid_argument("bitmap depth must be 1, 4 or 8 bits per pixel");
  // At most 65536 x 65535 bytes: no overflow even with a 32-bit size_t.
  if (pixels.size() < writer.stride * format.height)
    throw std::invalid_argument("pixel buffer smaller than the bitmap");
  writer.pixels = pixels.data();
  if (format.width == 0 || format.height == 0) {
    writer.row = writer.height;  // nothing to fill
    return writer;
  }
  if (bitsPerPixel < 8)
    writer.byteRows = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{format.width} * format.height);
  writer.rowLines.reserve(format.height);
  StartRow(writer);
  return writer;
}

void AdvancePixelRow(PixelWriter& writer) {
  if (writer.byteRows) PackRow(writer.line, writer.width, writer.bitsPerPixel, BitmapLine(writer, writer.row));
  writer.column = 0;
  writer.row = writer.interlaced ? NextInterlaceRow(writer.row, writer.height, writer.pass) : writer.row + 1;
  if (writer.row < writer.height) StartRow(writer);
}

void FinishPixelWriter(PixelWriter& writer) {
  if (writer.row >= writer.height) return;
  std::memset(writer.line + writer.column, 0, static_cast<std::size_t>(writer.width - writer.column));
  if (writer.byteRows) PackRow(writer.line, writer.width, writer.bitsPerPixel, BitmapLine(writer, writer.row));
}

}  // namespace quickintro::gif
