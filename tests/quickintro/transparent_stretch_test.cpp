// Drawing a decoded frame with a transparent colour onto a memory context:
// pixels of that colour keep the destination, the others take the picture,
// whichever palette entry they come from.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "dib_writer.h"
#include "lzw_test_encoder.h"
#include "transparent_stretch.h"

namespace quickintro {
namespace {

using gif::BuildFrameDib;
using gif::ColorTableRec;
using gif::CompressedSource;

constexpr COLORREF kBackdrop = RGB(10, 20, 30);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr int kCanvasWidth = 12, kCanvasHeight = 8;

// A 32-bit top-down bitmap selected into a memory context, pixels readable.
class Canvas {
 public:
  Canvas() : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kCanvasWidth, -kCanvasHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < kCanvasWidth * kCanvasHeight; ++i) bits_[i] = ToPixel(kBackdrop);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const std::uint32_t pixel = bits_[y * kCanvasWidth + x];
    return RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF);
  }
  static std::uint32_t ToPixel(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// The 4 x 2 frame below as a bitmap made from the decoder's own bitmap file.
// Indices 1 and 3 both hold magenta.
const std::vector<std::uint8_t> kIndices{0, 1, 2, 3, 3, 2, 1, 0};
const COLORREF kColours[] = {RGB(200, 0, 0), kMagenta, RGB(0, 150, 0), kMagenta};

HBITMAP FrameBitmap() {
  ColorTableRec table;
  table.Count = 4;
  for (int i = 0; i < 4; ++i) {
    table.Entries[i * 3] = GetRValue(kColours[i]);
    table.Entries[i * 3 + 1] = GetGValue(kColours[i]);
    table.Entries[i * 3 + 2] = GetBValue(kColours[i]);
  }
  const auto data = gif::testing::EncodeFrame(kIndices, 2);
  CompressedSource source(data);
  std::vector<std::uint8_t> file;
  BuildFrameDib(source, {4, 2, 2, false}, table, {}, file);
  const gif::BitmapLayout layout = gif::ReadBitmapLayout(file).value();
  const auto* info = reinterpret_cast<const BITMAPINFO*>(file.data() + layout.InfoOffset);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::memcpy(bits, file.data() + layout.PixelOffset, file.size() - layout.PixelOffset);
  return bitmap;
}

struct DrawCase {
  const char* Name;
  RECT Target;
  RECT Drawn;// where the frame lands: 2 x stretched or at its own size
  bool WithPalette;
};

TEST(TransparentStretch, TransparentColourKeepsTheDestination) {
  const DrawCase cases[] = {
      {"stretched twice", {2, 1, 10, 5}, {2, 1, 10, 5}, false},
      {"stretched, with the frame's palette", {2, 1, 10, 5}, {2, 1, 10, 5}, true},
      {"own size", {1, 3, 5, 5}, {1, 3, 5, 5}, false},
      {"empty rectangle: own size from its corner", {3, 2, 3, 2}, {3, 2, 7, 4}, false},
      {"inverted rectangle: own size from its corner", {6, 5, 1, 1}, {6, 5, 10, 7}, false},
  };
  HBITMAP bitmap = FrameBitmap();
  ASSERT_NE(bitmap, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Canvas canvas;
    LOGPALETTE* logical = static_cast<LOGPALETTE*>(std::malloc(sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY)));
    logical->palVersion = 0x300;
    logical->palNumEntries = 4;
    for (int i = 0; i < 4; ++i)
      logical->palPalEntry[i] = {GetRValue(kColours[i]), GetGValue(kColours[i]), GetBValue(kColours[i]), 0};
    HPALETTE palette = c.WithPalette ? CreatePalette(logical) : nullptr;
    std::free(logical);
    ASSERT_TRUE(TransparentStretch(canvas.Dc(), c.Target, bitmap, palette, {0, 0, 4, 2}, kMagenta));
    const int scale = (c.Drawn.right - c.Drawn.left) / 4;
    for (int y = 0; y < kCanvasHeight; ++y) {
      for (int x = 0; x < kCanvasWidth; ++x) {
        COLORREF expected = kBackdrop;
        if (x >= c.Drawn.left && x < c.Drawn.right && y >= c.Drawn.top && y < c.Drawn.bottom) {
          const COLORREF picture = kColours[kIndices[(y - c.Drawn.top) / scale * 4 + (x - c.Drawn.left) / scale]];
          if (picture != kMagenta) expected = picture;
        }
        EXPECT_EQ(canvas.At(x, y), expected) << "at " << x << ", " << y;
      }
    }
    if (palette) DeleteObject(palette);
  }
  DeleteObject(bitmap);
}

TEST(TransparentStretch, MonochromeBitmapLeavesOutWhite) {
  // Rows of 16 bits: 1010 0000 ... and 0101 0000 ...; 1 is white.
  const std::uint16_t rows[] = {0x00A0, 0x0050};
  HBITMAP bitmap = CreateBitmap(4, 2, 1, 1, rows);
  ASSERT_NE(bitmap, nullptr);
  Canvas canvas;
  ASSERT_TRUE(TransparentStretch(canvas.Dc(), {0, 0, 4, 2}, bitmap, nullptr, {0, 0, 4, 2}, kMagenta));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool white = (x + y) % 2 == 0;
      EXPECT_EQ(canvas.At(x, y), white ? kBackdrop : RGB(0, 0, 0)) << "at " << x << ", " << y;
    }
  DeleteObject(bitmap);
}

TEST(TransparentStretch, DrawsNothingWithoutABitmap) {
  Canvas canvas;
  EXPECT_FALSE(TransparentStretch(canvas.Dc(), {0, 0, 1, 1}, nullptr, nullptr, {0, 0, 1, 1}, 0));
  EXPECT_EQ(canvas.At(0, 0), kBackdrop);
}

}  // namespace
}  // namespace quickintro
