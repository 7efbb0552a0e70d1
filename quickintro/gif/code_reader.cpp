#include "quickintro/gif/code_reader.h"

#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {

void RefillCodeBuffer(TByteCursor& source, TCodeReader& reader) {
  // Fewer than a code's width (<= 12) bits are left, so they lie within 3
  // bytes from the byte that holds the bit position; after the move at most
  // 3 bytes are held and one sub-block fits behind them.
  const unsigned droppedBytes = reader.BitPosition / 8;
  std::memmove(reader.Buffer.data(), reader.Buffer.data() + droppedBytes, 3);
  reader.BitPosition %= 8;
  reader.BitsHeld -= 8 * droppedBytes;
  const std::optional<std::uint8_t> length = source.TakeByte();
  const auto block = source.Take(length.value_or(0));
  if (!length || !block) throw EReadError();
  std::memcpy(reader.Buffer.data() + reader.BitsHeld / 8, block->data(), block->size());
  reader.BitsHeld += 8u * static_cast<unsigned>(block->size());
}

}  // namespace quickintro::gif
