#pragma once
// Variable-width LZW codes, least significant bit first, across the data
// sub-blocks of a frame. Platform-free.
//
// The sub-blocks are taken one at a time into a small buffer, behind the
// bytes of it not yet read; a code is then taken with one load of a machine
// word at its bit position, so that reading a code costs a few instructions
// and one branch that is nearly always taken the same way.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "quickintro/gif/byte_cursor.h"

namespace quickintro::gif {

inline constexpr int kMaxCodeWidth = 12;
inline constexpr int kNoMoreCodes = -1;  // the data ran out before a whole code

// A machine word: 64 bits on x86-64, 32 on i686; either holds a code of up
// to 12 bits at any of the 8 bit positions of a byte.
using TCodeBits = std::size_t;

struct TCodeReader {
  // Room for up to 3 bytes carried over and one whole sub-block of 255 bytes,
  // and a word behind the last byte held, so that a word can be loaded from
  // any byte held.
  static constexpr unsigned kBufferSize = 260;
  std::array<std::uint8_t, kBufferSize + sizeof(TCodeBits)> Buffer{};
  unsigned BitPosition = 0;  // of the next code in Buffer
  unsigned BitsHeld = 0;     // always whole bytes; BitPosition <= BitsHeld
};

// Drops the whole bytes already read and appends the next sub-block. Fails
// with EReadError when the sub-block is cut short.
void RefillCodeBuffer(TByteCursor& source, TCodeReader& reader);

// The bits of the buffer from bit position on, lowest first (at least 25).
inline TCodeBits CodeBitsAt(const TCodeReader& reader, unsigned bitPosition) {
  TCodeBits word;
  std::memcpy(&word, reader.Buffer.data() + bitPosition / 8, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    TCodeBits swapped = 0;
    for (unsigned i = 0; i < sizeof word; ++i) swapped = swapped << 8 | ((word >> (8 * i)) & 0xFF);
    word = swapped;
  }
  return word >> (bitPosition % 8);
}

// The next code, or kNoMoreCodes when the data end first. Reads one more
// sub-block only when the bits held do not make a whole code.
inline int NextCode(TByteCursor& source, TCodeReader& reader, unsigned width) {
  while (reader.BitPosition + width > reader.BitsHeld) {
    if (source.AtEnd()) return kNoMoreCodes;
    RefillCodeBuffer(source, reader);
  }
  const auto code = static_cast<int>(CodeBitsAt(reader, reader.BitPosition) & ((TCodeBits{1} << width) - 1));
  reader.BitPosition += width;
  return code;
}

}  // namespace quickintro::gif
