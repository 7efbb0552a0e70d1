#pragma once
// Wraps one frame's compressed data into a whole single-frame GIF file, so
// that other decoders can read the very bytes the frame decoder reads.

#include <cstdint>
#include <vector>

namespace bench {

struct GifFrameFile {
  int width = 0;
  int height = 0;
  int pixelBits = 8;  // the global table has 2^pixelBits grey entries
  bool interlaced = false;
  std::vector<std::uint8_t> compressed;  // minimum code size byte and sub-blocks
};

std::vector<std::uint8_t> WriteGifFile(const GifFrameFile& frame);

}  // namespace bench
