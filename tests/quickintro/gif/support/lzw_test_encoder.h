#pragma once
// Builds compressed frame data for tests, fuzz seeds and benchmarks: codes
// packed at the widths a decoder expects, in sub-blocks; a greedy LZW encoder.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quickintro::test {

// The minimum code size byte followed by the codes in sub-blocks of at most
// blockSize (1..255) bytes, with the zero-length terminator unless told
// otherwise.
std::vector<std::uint8_t> FrameData(int minimumCodeSize, std::span<const int> codes,
                                    std::size_t blockSize = 255, bool terminator = true);

// Every stream these options give is valid.
struct TEncodeOptions {
  bool ClearWhenFull = true;  // else the table stays full at 12 bits
  bool EndCode = true;
  std::size_t BlockSize = 255;
  bool LeadingClear = true;  // else the first code is a pixel value
  int ClearsInARow = 1;  // clear codes written each time the table is cleared
  int ClearEvery = 0;  // also clear after this many codes (0: only when full)
  bool ClearBeforeEnd = false;  // clear codes right before the end code
};

// Greedy LZW codes of pixels (each below 2^minimumCodeSize).
std::vector<int> EncodeCodes(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                             const TEncodeOptions& options = {});

std::vector<std::uint8_t> EncodeFrame(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                                      const TEncodeOptions& options = {});

}  // namespace quickintro::test
