#pragma once
// Puts decoded pixels straight into a bottom-up bitmap: rows padded to 4
// bytes, 1, 4 or 8 bits per pixel packed most significant bits first, and
// interlaced frames filled in their four passes. Platform-free.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "frame_format.h"

namespace quickintro::gif {

// The row after row in an interlaced frame: rows 0, 8, 16, ... (pass 0), then
// 4, 12, ... (1), 2, 6, ... (2), 1, 3, 5, ... (3). A result at or above the
// height in pass 3 ends the frame.
int NextInterlaceRow(int row, int height, int& pass);

struct PixelWriter {
  int width = 0;
  int height = 0;
  int column = 0;
  int row = 0;   // the frame is complete once row >= height
  int pass = 0;  // interlace pass, 0 to 3
  bool interlaced = false;
  int bitsPerPixel = 8;
  std::size_t stride = 0;
  std::uint8_t* pixels = nullptr;  // start of the pixel block; row 0 is its last line
  std::uint8_t* line = nullptr;    // line of the current row
  // Lines in the order their rows were started, so that pixels written
  // earlier can be found again by (row index, column).
  std::vector<std::uint8_t*> rowLines;
};

// A writer at row 0, column 0 of pixels, which must hold stride x height bytes
// (else std::invalid_argument). A frame without pixels is complete at once.
PixelWriter StartPixelWriter(const FrameFormat& format, int bitsPerPixel,
                             std::span<std::uint8_t> pixels);

// Stores value (at most 2^bitsPerPixel - 1) at column of line. Writes arrive
// left to right, so the first pixel of a byte sets it and the others join it.
template <int Bits>
inline void StorePixel(std::uint8_t* line, int column, unsigned value) {
  if constexpr (Bits == 8) {
    line[column] = static_cast<std::uint8_t>(value);
  } else if constexpr (Bits == 4) {
    std::uint8_t& target = line[column >> 1];
    target = (column & 1) ? static_cast<std::uint8_t>(target | value)
                          : static_cast<std::uint8_t>(value << 4);
  } else {
    static_assert(Bits == 1);
    std::uint8_t& target = line[column >> 3];
    const int shift = 7 - (column & 7);
    target = shift == 7 ? static_cast<std::uint8_t>(value << 7)
                        : static_cast<std::uint8_t>(target | (value << shift));
  }
}

template <int Bits>
inline unsigned LoadPixel(const std::uint8_t* line, int column) {
  if constexpr (Bits == 8) {
    return line[column];
  } else if constexpr (Bits == 4) {
    return (column & 1) ? line[column >> 1] & 0x0Fu : unsigned{line[column >> 1]} >> 4;
  } else {
    return (line[column >> 3] >> (7 - (column & 7))) & 1u;
  }
}

// Column 0 of the next row (in interlace order when the frame is interlaced).
inline void AdvancePixelRow(PixelWriter& writer) {
  writer.column = 0;
  writer.row = writer.interlaced ? NextInterlaceRow(writer.row, writer.height, writer.pass)
                                 : writer.row + 1;
  if (writer.row < writer.height) {
    writer.line = writer.pixels + writer.stride * static_cast<std::size_t>(writer.height - 1 - writer.row);
    writer.rowLines.push_back(writer.line);  // capacity reserved for every row
  }
}

// One pixel at the current place; ignored once the frame is complete.
void PutPixel(unsigned value, PixelWriter& writer);

}  // namespace quickintro::gif
