#include "quickintro/gif/code_reader.h"

#include <cstring>

namespace quickintro::gif {

void RefillCodeBuffer(TCompressedSource& source, TCodeReader& reader) {
  if (reader.BitPosition + reader.CodeWidth <= reader.BitsHeld) return;  // a whole code is held
  // Fewer than codeWidth (<= 12) bits are left, so they lie within 3 bytes
  // from the byte that holds the bit position; after the move at most 2 whole
  // bytes are held and one sub-block fits behind them.
  const unsigned droppedBytes = reader.BitPosition >> 3;
  std::memmove(reader.Buffer.data(), reader.Buffer.data() + droppedBytes, 3);
  reader.BitPosition &= 7;
  reader.BitsHeld -= 8 * droppedBytes;
  const std::uint8_t length = source.ReadByte();
  source.ReadExact(reader.Buffer.data() + reader.BitsHeld / 8, length);
  reader.BitsHeld += 8u * length;
}

}  // namespace quickintro::gif
