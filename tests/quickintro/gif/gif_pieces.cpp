#include "tests/quickintro/gif/gif_pieces.h"

#include "quickintro/gif/graphic_error.h"
#include "tests/quickintro/gif/support/lzw_test_encoder.h"
#include "tests/quickintro/gif/support/reference_decoder.h"

namespace quickintro::test {
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

Bytes ImageDescriptor(const TImageShape& shape) {
  std::uint8_t flags = shape.Interlaced ? 0x40 : 0;
  if (shape.LocalTableBits > 0) flags |= B(0x80 | (shape.LocalTableBits - 1));
  return Cat({{','}, Le16(shape.Left), Le16(shape.Top), Le16(shape.Width), Le16(shape.Height), {flags},
              shape.LocalTableBits > 0 ? Palette(1 << shape.LocalTableBits, shape.PaletteShift) : Bytes{}});
}

Bytes Image(const TImageShape& shape, const Bytes& pixels, int minimumCodeSize, const TEncodeOptions& options) {
  const Bytes topDown = pixels.empty() ? Bytes(static_cast<std::size_t>(shape.Width * shape.Height), 0) : pixels;
  const Bytes stored = InStreamOrder(topDown, shape.Width, shape.Height, shape.Interlaced);
  return Cat({ImageDescriptor(shape), EncodeFrame(stored, minimumCodeSize, options)});
}

Bytes Stored(const Bytes& file) { return Cat({Le16(static_cast<int>(file.size())), Le16(static_cast<int>(file.size() >> 16)), file}); }

gif::TGIFReading ReadPieces(const Bytes& file) {
  const auto owner = std::make_shared<const Bytes>(file);
  return gif::ReadGIFFrames(owner, *owner);
}

std::string FailureText(const std::exception_ptr& failure) {
  if (!failure) return "";
  try {
    std::rethrow_exception(failure);
  } catch (const gif::EReadError& caught) {
    return std::string("EReadError: ") + caught.what();
  } catch (const gif::EInvalidGraphicOperation& caught) {
    return std::string("EInvalidGraphicOperation: ") + caught.what();
  }
}

std::vector<std::uint8_t> GreyTable(int count) {
  std::vector<std::uint8_t> table;
  for (int i = 0; i < count; ++i) table.insert(table.end(), {B(i), B(i), B(i)});
  return table;
}

TDecodedFrame DecodeThroughDib(std::span<const std::uint8_t> data, const gif::TFrameFormat& format,
                               const gif::DecodeProgressSink& progress) {
  TByteCursor source(data);
  gif::TFrameDib dib = gif::BuildFrameDib(source, format, GreyTable(1 << format.PixelBits), progress);
  TDecodedFrame frame{std::move(dib.Bitmap), {}, dib.Corrupted};
  frame.Image = ReadBitmapRows(frame.Bitmap);
  return frame;
}

std::uint32_t BitmapPixelColor(const gif::TBitmap& bitmap, int x, int y) {
  const std::size_t entry = gif::kBitmapInfoHeaderSize + static_cast<std::size_t>(BitmapIndex(bitmap, x, y)) * 4;  // blue, green, red
  const std::span<const std::uint8_t> info = bitmap.Info();
  return info[entry + 2] | (std::uint32_t{info[entry + 1]} << 8) | (std::uint32_t{info[entry]} << 16);
}

}  // namespace quickintro::test
