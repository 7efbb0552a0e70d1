#include "pixel_writer.h"

#include <stdexcept>

namespace quickintro::gif {

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
  writer.line = writer.pixels + writer.stride * (format.height - 1u);
  writer.rowLines.reserve(format.height);
  writer.rowLines.push_back(writer.line);
  return writer;
}

void PutPixel(unsigned value, PixelWriter& writer) {
  if (writer.row >= writer.height) return;
  switch (writer.bitsPerPixel) {
    case 1: StorePixel<1>(writer.line, writer.column, value); break;
    case 4: StorePixel<4>(writer.line, writer.column, value); break;
    default: StorePixel<8>(writer.line, writer.column, value); break;
  }
  if (++writer.column == writer.width) AdvancePixelRow(writer);
}

}  // namespace quickintro::gif
