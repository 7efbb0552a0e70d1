#include "gif_pieces.h"

#include "lzw_test_encoder.h"
#include "reference_decoder.h"

namespace quickintro::gif::testing {
namespace {

void PutLe16(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

Bytes Cat(std::initializer_list<Bytes> pieces) {
  Bytes out;
  for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

Bytes Header(const std::string& signature) { return Bytes(signature.begin(), signature.end()); }

Bytes Screen(int width, int height, int tableBits, int background, int aspect) {
  Bytes out;
  PutLe16(out, width);
  PutLe16(out, height);
  out.push_back(static_cast<std::uint8_t>(tableBits > 0 ? 0x80 | 0x70 | (tableBits - 1) : 0x70));
  out.push_back(static_cast<std::uint8_t>(background));
  out.push_back(static_cast<std::uint8_t>(aspect));
  return out;
}

std::uint32_t PaletteColor(int index) {
  const auto red = static_cast<std::uint32_t>((index * 37 + 11) & 0xFF);
  const auto green = static_cast<std::uint32_t>((255 - index * 5) & 0xFF);
  const auto blue = static_cast<std::uint32_t>((index * 91 + 3) & 0xFF);
  return red | (green << 8) | (blue << 16);
}

Bytes Palette(int count, int shift) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t color = PaletteColor(i + shift);
    out.push_back(static_cast<std::uint8_t>(color));
    out.push_back(static_cast<std::uint8_t>(color >> 8));
    out.push_back(static_cast<std::uint8_t>(color >> 16));
  }
  return out;
}

Bytes GraphicControl(bool transparent, int index, int delay, int disposal, int blockSize) {
  Bytes out{'!', 0xF9, static_cast<std::uint8_t>(blockSize),
            static_cast<std::uint8_t>((disposal << 2) | (transparent ? 1 : 0))};
  PutLe16(out, delay);
  out.push_back(static_cast<std::uint8_t>(index));
  out.push_back(0);
  return out;
}

Bytes Comment(std::initializer_list<std::string> blocks) {
  Bytes out{'!', 0xFE};
  for (const std::string& block : blocks) {
    out.push_back(static_cast<std::uint8_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
  out.push_back(0);
  return out;
}

Bytes PlainText() {
  Bytes out{'!', 0x01, 12};
  out.insert(out.end(), 12, 1);
  out.push_back(2);
  out.push_back('H');
  out.push_back('i');
  out.push_back(0);
  return out;
}

Bytes Application(const std::string& identifier, std::initializer_list<Bytes> blocks) {
  Bytes out{'!', 0xFF, static_cast<std::uint8_t>(identifier.size())};
  out.insert(out.end(), identifier.begin(), identifier.end());
  for (const Bytes& block : blocks) {
    out.push_back(static_cast<std::uint8_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
  out.push_back(0);
  return out;
}

Bytes Loop(int count) {
  Bytes block{1};
  PutLe16(block, count);
  return Application("NETSCAPE2.0", {block});
}

Bytes Trailer() { return {';'}; }

Bytes Image(const ImageSpec& spec, const Bytes& pixels, int minimumCodeSize) {
  Bytes out{','};
  PutLe16(out, spec.left);
  PutLe16(out, spec.top);
  PutLe16(out, spec.width);
  PutLe16(out, spec.height);
  std::uint8_t flags = spec.interlaced ? 0x40 : 0;
  if (spec.localTableBits > 0) flags |= static_cast<std::uint8_t>(0x80 | (spec.localTableBits - 1));
  out.push_back(flags);
  if (spec.localTableBits > 0) {
    const Bytes table = Palette(1 << spec.localTableBits, spec.paletteShift);
    out.insert(out.end(), table.begin(), table.end());
  }
  Bytes stored = pixels.empty() ? Bytes(static_cast<std::size_t>(spec.width * spec.height), 0) : pixels;
  if (spec.interlaced) {  // rows in the order they are stored
    Bytes reordered;
    for (int row : InterlacedRowOrder(spec.height))
      reordered.insert(reordered.end(), stored.begin() + row * spec.width, stored.begin() + (row + 1) * spec.width);
    stored = reordered;
  }
  const Bytes data = EncodeFrame(stored, minimumCodeSize);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes Stored(const Bytes& file) {
  Bytes out;
  const auto size = static_cast<std::uint32_t>(file.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(size >> shift));
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

std::uint32_t BitmapPixelColor(const Bytes& file, int x, int y) {
  auto le = [&](std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | file.at(at + static_cast<std::size_t>(i));
    return value;
  };
  const auto pixelsAt = le(10, 4);
  const auto width = static_cast<int>(le(18, 4)), height = static_cast<int>(le(22, 4));
  const auto bits = static_cast<int>(le(28, 2));
  const int stride = (bits * width + 31) / 32 * 4;
  const std::size_t rowStart = pixelsAt + static_cast<std::size_t>((height - 1 - y) * stride);
  const std::uint8_t byte = file.at(rowStart + static_cast<std::size_t>(x * bits / 8));
  int index = byte;
  if (bits == 4) index = x % 2 ? byte & 0x0F : byte >> 4;
  if (bits == 1) index = (byte >> (7 - x % 8)) & 1;
  const std::size_t entry = 14 + le(14, 4) + static_cast<std::size_t>(index) * 4;
  return le(entry + 2, 1) | (le(entry + 1, 1) << 8) | (le(entry, 1) << 16);
}

}  // namespace quickintro::gif::testing
