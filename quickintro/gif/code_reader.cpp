#include "code_reader.h"

#include <cstring>

namespace quickintro::gif {

void RefillCodeBuffer(CompressedSource& source, CodeReader& reader) {
  if (reader.bitPosition + reader.codeWidth <= reader.bitsHeld) return;  // a whole code is held
  // Fewer than codeWidth (<= 12) bits are left, so they lie within 3 bytes
  // from the byte that holds the bit position; after the move at most 2 whole
  // bytes are held and one sub-block fits behind them.
  const unsigned droppedBytes = reader.bitPosition >> 3;
  std::memmove(reader.buffer.data(), reader.buffer.data() + droppedBytes, 3);
  reader.bitPosition &= 7;
  reader.bitsHeld -= 8 * droppedBytes;
  const std::uint8_t length = source.ReadByte();
  source.ReadExact(reader.buffer.data() + reader.bitsHeld / 8, length);
  reader.bitsHeld += 8u * length;
}

}  // namespace quickintro::gif
