#pragma once
// Puts decoded pixels into a bottom-up bitmap: rows padded to 4 bytes, 1, 4
// or 8 bits per pixel packed most significant bits first, and the rows of an
// interlaced frame put in their places as they come. Platform-free.
//
// The decoder writes a byte a pixel and copies strings from its own earlier
// output, reading kByteRowSlack bytes at a time from wherever a string
// starts, so every row written stays readable as bytes, with at least that
// many readable bytes behind it. At 8 bits per pixel the rows are the
// bitmap's own lines, each followed by the lines of the rows above it; row 0,
// the block's last line, is followed by the spare bytes of the pixel buffer
// when it has them, else it is decoded into a row of its own with spare
// bytes behind it and copied into place once complete. Below 8 bits
// every row goes, in the order it is decoded, into one block of bytes kept
// for the frame, so that a string never breaks at a row's end there, and is
// packed into its bitmap line as soon as it is complete.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/frame_format.h"

namespace quickintro::gif {

// Readable bytes behind every pixel written, and spare bytes behind the byte
// rows: a store of this many bytes may start at any pixel of the frame there.
inline constexpr std::size_t kByteRowSlack = 16;

// The row after row in an interlaced frame: rows 0, 8, 16, ... (pass 0), then
// 4, 12, ... (1), 2, 6, ... (2), 1, 3, 5, ... (3). A result at or above the
// height in pass 3 ends the frame.
int NextInterlaceRow(int row, int height, int& pass);

struct TPixelWriter {
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  int BitsPerPixel = 8;
  std::size_t Stride = 0;
  std::uint8_t* Pixels = nullptr;  // the bitmap's pixel block; row 0 is its last line
  int Row = 0;   // the frame row being written; the frame is complete once Row >= Height
  int Pass = 0;  // interlace pass, 0 to 3
  int RowsDone = 0;  // complete rows, in decoding order
  // The bytes of the current row: its bitmap line at 8 bits, else its place
  // in ByteRows.
  std::uint8_t* RowStart = nullptr;
  std::uint8_t* RowEnd = nullptr;
  // Below 8 bits: every row in decoding order, Width x Height bytes, then
  // kByteRowSlack spare ones; BytesEnd is the end of the frame's bytes.
  std::unique_ptr<std::uint8_t[]> ByteRows;
  std::uint8_t* BytesEnd = nullptr;
  // At 8 bits, unless the pixel buffer has kByteRowSlack spare bytes: row 0,
  // Width bytes, then kByteRowSlack spare ones.
  std::unique_ptr<std::uint8_t[]> FirstRow;
};

// A writer at row 0, column 0 of pixels, which must hold stride x height bytes
// (else std::invalid_argument), and may hold spare bytes behind them. A frame
// without pixels is complete at once.
TPixelWriter StartPixelWriter(const TFrameFormat& format, int bitsPerPixel, std::span<std::uint8_t> pixels);

// The current row is complete: puts it into its bitmap line (packed below 8
// bits, copied from its own row for row 0 when it has one) and moves to the
// next row, in interlace order when the frame is interlaced. False once the
// frame is complete.
bool AdvancePixelRow(TPixelWriter& writer);

// The pixels written before next, which lies in the current row.
inline std::uint64_t PixelsWritten(const TPixelWriter& writer, const std::uint8_t* next) {
  return std::uint64_t{static_cast<unsigned>(writer.RowsDone)} * static_cast<unsigned>(writer.Width) +
         static_cast<std::uint64_t>(next - writer.RowStart);
}

// At 8 bits per pixel, where the row that follows, in decoding order, the
// row ending at rowEnd begins. (Below 8 bits the rows follow each other in
// the byte rows.)
const std::uint8_t* FollowingRowStart(const TPixelWriter& writer, const std::uint8_t* rowEnd);

// Decoding stopped at next, in the current row: the rest of that row gets
// index 0 and goes into the bitmap.
void FinishPixelWriter(TPixelWriter& writer, std::uint8_t* next);

// One row of pixel values, a byte each, packed into a bitmap line of 1 or 4
// bits per pixel, most significant bits first. Each value fits the depth.
void PackPixelRow(const std::uint8_t* values, int width, int bitsPerPixel, std::uint8_t* line);

}  // namespace quickintro::gif
