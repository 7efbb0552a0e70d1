#pragma once
// Puts decoded pixels into a bottom-up bitmap: rows padded to 4 bytes, 1, 4
// or 8 bits per pixel packed most significant bits first, and interlaced
// frames filled in their four passes. Platform-free.
//
// Pixels are written a byte each: at 8 bits straight into the bitmap's line,
// below 8 bits into a byte row kept for the whole frame, packed into the
// bitmap as each row ends. Either way every row written stays readable by
// its index, so that the decoder can copy strings from earlier output.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/frame_format.h"

namespace quickintro::gif {

// The row after row in an interlaced frame: rows 0, 8, 16, ... (pass 0), then
// 4, 12, ... (1), 2, 6, ... (2), 1, 3, 5, ... (3). A result at or above the
// height in pass 3 ends the frame.
int NextInterlaceRow(int row, int height, int& pass);

struct TPixelWriter {
  int Width = 0;
  int Height = 0;
  int Column = 0;
  int Row = 0;   // the frame is complete once Row >= Height
  int Pass = 0;  // interlace pass, 0 to 3
  bool Interlaced = false;
  int BitsPerPixel = 8;
  std::size_t Stride = 0;
  std::uint8_t* Pixels = nullptr;  // the bitmap's pixel block; row 0 is its last line
  std::uint8_t* Line = nullptr;    // byte line of the current row
  std::vector<std::uint8_t*> RowLines;        // byte line of every row started, in order
  std::unique_ptr<std::uint8_t[]> ByteRows;  // below 8 bits: the byte lines, Width x Height
};

// A writer at row 0, column 0 of pixels, which must hold stride x height bytes
// (else std::invalid_argument). A frame without pixels is complete at once.
TPixelWriter StartPixelWriter(const TFrameFormat& format, int bitsPerPixel,
                              std::span<std::uint8_t> pixels);

// Packs the current row into the bitmap (below 8 bits) and moves to column 0
// of the next row, in interlace order when the frame is interlaced.
void AdvancePixelRow(TPixelWriter& writer);

// One pixel (below 2^bitsPerPixel) at the current place; ignored once the
// frame is complete.
inline void PutPixel(unsigned value, TPixelWriter& writer) {
  if (writer.Row >= writer.Height) return;
  writer.Line[writer.Column] = static_cast<std::uint8_t>(value);
  if (++writer.Column == writer.Width) AdvancePixelRow(writer);
}

// Decoding stopped: the rest of the current row gets index 0 and goes into
// the bitmap.
void FinishPixelWriter(TPixelWriter& writer);

}  // namespace quickintro::gif
