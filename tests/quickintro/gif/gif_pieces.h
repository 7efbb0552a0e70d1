#pragma once
// The picture tests' machinery: GIF files built from named pieces
// (Cat({Header(), Screen(...), Palette(...), Image(...), Trailer()})), read
// and decoded the one way every test reads them, and the pixels of the
// bitmaps that come out.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/gif_image.h"
#include "tests/quickintro/gif/support/lzw_test_encoder.h"

namespace quickintro::test {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> pieces);

Bytes Header(const std::string& signature = "GIF89a");
// tableBits 0: no global table; else 2^tableBits entries follow (Palette).
Bytes Screen(int width, int height, int tableBits = 0, int background = 0, int aspect = 0);
// Entry i is PaletteColor(i), or PaletteColor(i + shift) to tell tables apart.
Bytes Palette(int count, int shift = 0);
std::uint32_t PaletteColor(int index);  // as a colour value: red low byte
Bytes GraphicControl(bool transparent, int index, int delay = 0, int disposal = 0, int blockSize = 4);
Bytes Comment(std::initializer_list<std::string> blocks);
Bytes PlainText();
Bytes Application(const std::string& identifier, std::initializer_list<Bytes> blocks);
Bytes Loop(int count);
Bytes Trailer();

struct TImageShape {
  int Left = 0, Top = 0, Width = 2, Height = 2;
  int LocalTableBits = 0;  // 0: no local table
  bool Interlaced = false;
  int PaletteShift = 0;    // of the local table
};
// The image descriptor and the local table, without the data.
Bytes ImageDescriptor(const TImageShape& shape);
// The image descriptor, the local table and the data of pixels (top-down,
// width x height, all 0 when empty).
Bytes Image(const TImageShape& shape, const Bytes& pixels = {}, int minimumCodeSize = 2,
            const TEncodeOptions& options = {});

// A stored picture: the 32-bit length, then the file.
Bytes Stored(const Bytes& file);

// ---- Reading ----

// The file read without decoding, from bytes of its own.
gif::TGIFReading ReadPieces(const Bytes& file);

// A failure as "EReadError: message" or "EInvalidGraphicOperation: message";
// empty for none.
std::string FailureText(const std::exception_ptr& failure);

template <typename Action>
std::string FailureOf(Action&& action) {
  try {
    action();
  } catch (...) {
    return FailureText(std::current_exception());
  }
  return "";
}

// ---- Decoding ----

// count entries of grey, entry i of value i.
std::vector<std::uint8_t> GreyTable(int count);

struct TDecodedFrame {
  gif::TBitmap Bitmap;
  std::vector<std::uint8_t> Image;  // top-down, one colour index per byte
  bool Corrupted = false;
};

// A frame's compressed data decoded into its bitmap under a grey table;
// throws what BuildFrameDib throws.
TDecodedFrame DecodeThroughDib(std::span<const std::uint8_t> data, const gif::TFrameFormat& format,
                               const gif::DecodeProgressSink& progress = {});

// The colour (red in the low byte) of pixel (x, y), counted from the top
// left, of a bitmap of 1, 4 or 8 bits per pixel.
std::uint32_t BitmapPixelColor(const gif::TBitmap& bitmap, int x, int y);

}  // namespace quickintro::test
