#pragma once
// Decoding a frame's compressed data through the bitmap file and reading the
// pixels back top-down, one byte each.

#include <cstdint>
#include <span>
#include <vector>

#include "quickintro/gif/compressed_source.h"
#include "quickintro/gif/dib_writer.h"
#include "tests/quickintro/gif/support/reference_decoder.h"

namespace quickintro::test {

struct TDecodedFrame {
  std::vector<std::uint8_t> File;   // the bitmap file
  std::vector<std::uint8_t> Image;  // top-down, one byte per pixel
  bool Corrupted = false;
};

inline gif::TColorTableRec GreyTable(int count) {
  gif::TColorTableRec table;
  table.Count = count;
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) table.Entries[static_cast<std::size_t>(i) * 3 + c] = static_cast<std::uint8_t>(i);
  return table;
}

// Throws what BuildFrameDib throws.
inline TDecodedFrame DecodeThroughDib(std::span<const std::uint8_t> data, const gif::TFrameFormat& format,
                                      const gif::DecodeProgressSink& progress = {}) {
  TDecodedFrame frame;
  gif::TCompressedSource source(data);
  frame.Corrupted = gif::BuildFrameDib(source, format, GreyTable(1 << format.PixelBits), progress, frame.File);
  frame.Image = ReadBitmapRows(frame.File);
  return frame;
}

}  // namespace quickintro::test
