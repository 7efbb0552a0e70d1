#include "quickintro/gif/pixel_writer.h"

#include <cstring>
#include <stdexcept>

namespace quickintro::gif {
namespace {

std::uint8_t* BitmapLine(const TPixelWriter& writer, int row) {
  return writer.Pixels + writer.Stride * static_cast<std::size_t>(writer.Height - 1 - row);
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

void StartRow(TPixelWriter& writer) {
  writer.Line = writer.ByteRows ? writer.ByteRows.get() + writer.RowLines.size() * writer.Width
                                : BitmapLine(writer, writer.Row);
  writer.RowLines.push_back(writer.Line);  // capacity reserved for every row
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

TPixelWriter StartPixelWriter(const TFrameFormat& format, int bitsPerPixel,
                              std::span<std::uint8_t> pixels) {
  TPixelWriter writer;
  writer.Width = format.Width;
  writer.Height = format.Height;
  writer.Interlaced = format.Interlaced;
  writer.BitsPerPixel = bitsPerPixel;
  writer.Stride = DibStride(bitsPerPixel, format.Width);
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
    throw std::invalid_argument("bitmap depth must be 1, 4 or 8 bits per pixel");
  // At most 65536 x 65535 bytes: no overflow even with a 32-bit size_t.
  if (pixels.size() < writer.Stride * format.Height)
    throw std::invalid_argument("pixel buffer smaller than the bitmap");
  writer.Pixels = pixels.data();
  if (format.Width == 0 || format.Height == 0) {
    writer.Row = writer.Height;  // nothing to fill
    return writer;
  }
  if (bitsPerPixel < 8)
    writer.ByteRows = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{format.Width} * format.Height);
  writer.RowLines.reserve(format.Height);
  StartRow(writer);
  return writer;
}

void AdvancePixelRow(TPixelWriter& writer) {
  if (writer.ByteRows) PackRow(writer.Line, writer.Width, writer.BitsPerPixel, BitmapLine(writer, writer.Row));
  writer.Column = 0;
  writer.Row = writer.Interlaced ? NextInterlaceRow(writer.Row, writer.Height, writer.Pass) : writer.Row + 1;
  if (writer.Row < writer.Height) StartRow(writer);
}

void FinishPixelWriter(TPixelWriter& writer) {
  if (writer.Row >= writer.Height) return;
  std::memset(writer.Line + writer.Column, 0, static_cast<std::size_t>(writer.Width - writer.Column));
  if (writer.ByteRows) PackRow(writer.Line, writer.Width, writer.BitsPerPixel, BitmapLine(writer, writer.Row));
}

}  // namespace quickintro::gif
