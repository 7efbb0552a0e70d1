#pragma once
// Builds compressed frame data for tests, fuzz seeds and benchmarks: codes
// packed at the widths a decoder expects, a greedy LZW encoder, sub-blocks.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quickintro::gif::testing {

// Packs codes least significant bit first, growing the width exactly as a
// decoder does: every code but a clear code and the code after it (or the
// first code) adds a table entry until 4096 entries exist.
class CodeWriter {
 public:
  explicit CodeWriter(int minimumCodeSize);
  void Put(int code);
  int Width() const { return width_; }
  std::vector<std::uint8_t> Bytes() const;  // the last byte padded with zeros

 private:
  int minimumCodeSize_;
  int width_;
  int nextFree_;
  bool tableFull_ = false;
  bool afterClear_ = true;  // data start as if after a clear code
  std::vector<std::uint8_t> bytes_;
  std::uint32_t pending_ = 0;
  int pendingBits_ = 0;
};

// Splits bytes into sub-blocks of at most blockSize (1..255) bytes, each after
// its length byte, with the zero-length terminator unless told otherwise.
std::vector<std::uint8_t> SubBlocks(std::span<const std::uint8_t> bytes, std::size_t blockSize = 255,
                                    bool terminator = true);

// The minimum code size byte followed by the codes in sub-blocks.
std::vector<std::uint8_t> FrameData(int minimumCodeSize, std::span<const int> codes,
                                    std::size_t blockSize = 255, bool terminator = true);

// Every stream these options give is valid.
struct EncodeOptions {
  bool ClearWhenFull = true;// else the table stays full at 12 bits
  bool EndCode = true;
  std::size_t BlockSize = 255;
  bool LeadingClear = true;// else the first code is a pixel value
  int ClearsInARow = 1;// clear codes written each time the table is cleared
  int ClearEvery = 0;// also clear after this many codes (0: only when full)
  bool ClearBeforeEnd = false;// clear codes right before the end code
};

// Greedy LZW codes of pixels (each below 2^minimumCodeSize).
std::vector<int> EncodeCodes(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                             const EncodeOptions& options = {});

std::vector<std::uint8_t> EncodeFrame(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                                      const EncodeOptions& options = {});

}  // namespace quickintro::gif::testing
