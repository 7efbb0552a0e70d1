#pragma once
// A plain decoder for differential tests: the documented steps one pixel at
// a time, each string unwound through a stack, no shortcuts. Its output is in
// decoding order; the helpers below place it into rows and read bitmaps back.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "quickintro/gif/bitmap_file.h"

namespace quickintro::test {

struct TReferenceResult {
  std::vector<std::uint8_t> Pixels;  // in decoding order, at most the frame's count
  bool Corrupted = false;
};

// data: the minimum code size byte (2..9) and the sub-blocks. Codes below the
// clear code are pixel values, cut to pixelBits (and marked corrupted) when
// beyond the colour table. Throws std::runtime_error where a sub-block that is
// needed is cut short.
TReferenceResult ReferenceDecode(std::span<const std::uint8_t> data, int pixelBits,
                                 std::size_t pixelCount);

// Rows in the order an interlaced frame stores them.
std::vector<int> InterlacedRowOrder(int height);

// The rows of a top-down image in the order the frame stores them.
std::vector<std::uint8_t> InStreamOrder(std::span<const std::uint8_t> image, int width, int height,
                                        bool interlaced);

// Top-down image, one byte per pixel, from pixels in decoding order; pixels
// not reached are 0.
std::vector<std::uint8_t> PlaceRows(std::span<const std::uint8_t> decoded, int width, int height,
                                    bool interlaced);

// The colour index of pixel (x, y), counted from the top left, of a bitmap of
// 1, 4 or 8 bits per pixel.
int BitmapIndex(const gif::TBitmap& bitmap, int x, int y);

// Top-down image, one colour index per byte, of a bitmap of 1, 4 or 8 bits
// per pixel.
std::vector<std::uint8_t> ReadBitmapRows(const gif::TBitmap& bitmap);

}  // namespace quickintro::test
