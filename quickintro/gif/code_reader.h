#pragma once
// Variable-width LZW codes, least significant bit first, across the data
// sub-blocks of a frame. Platform-free.

#include <array>
#include <cstdint>

#include "quickintro/gif/compressed_source.h"

namespace quickintro::gif {

inline constexpr int kMaxCodeWidth = 12;
inline constexpr int kNoMoreCodes = -1;  // the data ran out before a whole code

struct TCodeReader {
  // Room for up to 3 bytes carried over and one whole sub-block of 255 bytes;
  // the 4 spare bytes let a code be taken from one fixed 4-byte window.
  static constexpr unsigned kBufferSize = 260;
  std::array<std::uint8_t, kBufferSize + 4> Buffer{};
  unsigned BitPosition = 0;  // of the next code in Buffer
  unsigned BitsHeld = 0;     // always whole bytes; BitPosition <= BitsHeld
  unsigned CodeWidth = 0;    // 3 to 12
  unsigned CodeMask = 0;     // 2^CodeWidth - 1
};

inline void SetCodeWidth(TCodeReader& reader, unsigned width) {
  reader.CodeWidth = width;
  reader.CodeMask = (1u << width) - 1;
}

// Drops the whole bytes already read and appends the next sub-block.
void RefillCodeBuffer(TCompressedSource& source, TCodeReader& reader);

// The next code, or kNoMoreCodes when the data end first. Reads one more
// sub-block only when the bits held do not make a whole code.
inline int NextCode(TCompressedSource& source, TCodeReader& reader) {
  while (reader.BitPosition + reader.CodeWidth > reader.BitsHeld) {
    if (source.AtEnd()) return kNoMoreCodes;
    RefillCodeBuffer(source, reader);
  }
  const unsigned byteIndex = reader.BitPosition >> 3;  // <= 257, see kBufferSize
  const std::uint32_t window = reader.Buffer[byteIndex] |
                               (std::uint32_t{reader.Buffer[byteIndex + 1]} << 8) |
                               (std::uint32_t{reader.Buffer[byteIndex + 2]} << 16);
  const int code = static_cast<int>((window >> (reader.BitPosition & 7)) & reader.CodeMask);
  reader.BitPosition += reader.CodeWidth;
  return code;
}

}  // namespace quickintro::gif
