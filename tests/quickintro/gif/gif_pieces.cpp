#include "gif_pieces.h"

#include "lzw_test_encoder.h"
#include "reference_decoder.h"

namespace quickintro::gif::testing {
namespace {

std::uint8_t B(int value) { return static_cast<std::uint8_t>(value & 0xFF); }
Bytes Le16(int value) { return {B(value), B(value >> 8)}; }
Bytes Blocks(std::initializer_list<Bytes> blocks) {
  Bytes out;
  for (const Bytes& block : blocks) out = Cat({out, {B(static_cast<int>(block.size()))}, block});
  return Cat({out, {0}});
}

}  // namespace

Bytes Cat(std::initializer_list<Bytes> pieces) {
  Bytes out;
  for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

Bytes Header(const std::string& signature) { return Bytes(signature.begin(), signature.end()); }

Bytes Screen(int width, int height, int tableBits, int background, int aspect) {
  return Cat({Le16(width), Le16(height), {B(tableBits > 0 ? 0xF0 | (tableBits - 1) : 0x70), B(background), B(aspect)}});
}

std::uint32_t PaletteColor(int index) {
  return B(index * 37 + 11) | (B(255 - index * 5) << 8) | (B(index * 91 + 3) << 16);
}

Bytes Palette(int count, int shift) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t color = PaletteColor(i + shift);
    out.insert(out.end(), {B(color), B(color >> 8), B(color >> 16)});
  }
  return out;
}

Bytes GraphicControl(bool transparent, int index, int delay, int disposal, int blockSize) {
  return Cat({{'!', 0xF9, B(blockSize), B((disposal << 2) | (transparent ? 1 : 0))}, Le16(delay), {B(index), 0}});
}

Bytes Comment(std::initializer_list<std::string> blocks) {
  Bytes out{'!', 0xFE};
  for (const std::string& block : blocks) out = Cat({out, {B(static_cast<int>(block.size()))}, Header(block)});
  return Cat({out, {0}});
}

Bytes PlainText() { return Cat({{'!', 0x01, 12}, Bytes(12, 1), Blocks({{'H', 'i'}})}); }

Bytes Application(const std::string& identifier, std::initializer_list<Bytes> blocks) {
  return Cat({{'!', 0xFF, B(static_cast<int>(identifier.size()))}, Header(identifier), Blocks(blocks)});
}

Bytes Loop(int count) { return Application("NETSCAPE2.0", {Cat({{1}, Le16(count)})}); }

Bytes Trailer() { return {';'}; }

Bytes Image(const ImageShape& shape, const Bytes& pixels, int minimumCodeSize, const EncodeOptions& options) {
  std::uint8_t flags = shape.interlaced ? 0x40 : 0;
  if (shape.localTableBits > 0) flags |= B(0x80 | (shape.localTableBits - 1));
  Bytes stored = pixels.empty() ? Bytes(static_cast<std::size_t>(shape.width * shape.height), 0) : pixels;
  if (shape.interlaced) {  // rows in the order they are stored
    Bytes reordered;
    for (int row : InterlacedRowOrder(shape.height))
      reordered.insert(reordered.end(), stored.begin() + row * shape.width, stored.begin() + (row + 1) * shape.width);
    stored = reordered;
  }
  return Cat({{','}, Le16(shape.left), Le16(shape.top), Le16(shape.width), Le16(shape.height), {flags},
              shape.localTableBits > 0 ? Palette(1 << shape.localTableBits, shape.paletteShift) : Bytes{},
              EncodeFrame(stored, minimumCodeSize, options)});
}

Bytes Stored(const Bytes& file) { return Cat({Le16(static_cast<int>(file.size())), Le16(static_cast<int>(file.size() >> 16)), file}); }

std::uint32_t BitmapPixelColor(const Bytes& file, int x, int y) {
  auto le = [&](std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | file.at(at + static_cast<std::size_t>(i));
    return value;
  };
  const auto width = static_cast<int>(le(18, 4)), height = static_cast<int>(le(22, 4)), bits = static_cast<int>(le(28, 2));
  const std::size_t row = le(10, 4) + static_cast<std::size_t>((height - 1 - y) * ((bits * width + 31) / 32 * 4));
  const std::uint8_t byte = file.at(row + static_cast<std::size_t>(x * bits / 8));
  const int index = bits == 8 ? byte : bits == 4 ? (x % 2 ? byte & 0x0F : byte >> 4) : (byte >> (7 - x % 8)) & 1;
  const std::size_t entry = 14 + le(14, 4) + static_cast<std::size_t>(index) * 4;
  return le(entry + 2, 1) | (le(entry + 1, 1) << 8) | (le(entry, 1) << 16);
}

}  // namespace quickintro::gif::testing
