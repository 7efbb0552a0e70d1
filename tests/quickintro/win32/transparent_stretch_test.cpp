// Drawing a decoded frame with a transparent colour onto a memory context:
// pixels of that colour keep the destination, the others take the picture,
// whichever palette entry they come from, at every bitmap depth.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/quickintro/win32/dib_surface.h"
#include "quickintro/win32/gif_picture.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "quickintro/win32/transparent_stretch.h"

namespace quickintro {
namespace {

using namespace quickintro::test;

constexpr COLORREF kBackdrop = RGB(10, 20, 30);
constexpr int kCanvasWidth = 12, kCanvasHeight = 8;

// A 4 x 2 frame at a colour depth; entries 1 and 3, where the table has
// both, hold the same colour, the one left out.
struct TFrame {
  TGIFImage Picture;
  Bytes Indices;
};
COLORREF ColourOf(int index) { return PaletteColor(index == 3 ? 1 : index); }
const COLORREF kLeftOut = PaletteColor(1);

TFrame FourByTwo(int tableBits) {
  TFrame frame;
  frame.Indices = tableBits > 1 ? Bytes{0, 1, 2, 3, 3, 2, 1, 0} : Bytes{0, 1, 0, 1, 1, 0, 1, 0};
  Bytes table = Palette(1 << tableBits);
  if (tableBits > 1) std::copy(table.begin() + 3, table.begin() + 6, table.begin() + 9);
  const Bytes file = Cat({Header(), Screen(4, 2, tableBits), table,
                          Image({.Width = 4, .Height = 2}, frame.Indices, std::max(2, tableBits))});
  frame.Picture = gif::ReadGIFImage(std::make_shared<const Bytes>(file));
  return frame;
}

HPALETTE FramePalette() {
  std::vector<std::uint8_t> buffer(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
  *logical = {0x300, 4, {}};
  for (int i = 0; i < 4; ++i) {
    const COLORREF colour = ColourOf(i);
    logical->palPalEntry[i] = {GetRValue(colour), GetGValue(colour), GetBValue(colour), 0};
  }
  return CreatePalette(logical);
}

// Frames of 1, 4 and 8 bits per pixel, as the picture class decodes them.
TEST(TransparentStretch, TransparentColourKeepsTheDestination) {
  const struct {
    const char* Name;
    RECT Target;
    RECT Drawn;  // where the frame lands: 2 x stretched or at its own size
    bool WithPalette;
  } cases[] = {
      {"stretched twice", {2, 1, 10, 5}, {2, 1, 10, 5}, false},
      {"stretched, with the frame's palette", {2, 1, 10, 5}, {2, 1, 10, 5}, true},
      {"own size", {1, 3, 5, 5}, {1, 3, 5, 5}, false},
      {"empty rectangle: own size from its corner", {3, 2, 3, 2}, {3, 2, 7, 4}, false},
      {"inverted rectangle: own size from its corner", {6, 5, 1, 1}, {6, 5, 10, 7}, false},
  };
  for (int tableBits : {1, 2, 8}) {
    const TFrame frame = FourByTwo(tableBits);
    const UniqueBitmap device = MakeDeviceBitmap(*frame.Picture.FrameToDraw().Bitmap);
    HBITMAP bitmap = device.Get();
    ASSERT_NE(bitmap, nullptr);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + ", table of " + std::to_string(1 << tableBits));
      TDibSurface canvas(kCanvasWidth, kCanvasHeight, kBackdrop);
      HPALETTE palette = c.WithPalette ? FramePalette() : nullptr;
      ASSERT_TRUE(TransparentStretch(canvas.Dc(), c.Target, bitmap, palette, {0, 0, 4, 2}, kLeftOut));
      const int scale = (c.Drawn.right - c.Drawn.left) / 4;
      for (int y = 0; y < kCanvasHeight; ++y) {
        for (int x = 0; x < kCanvasWidth; ++x) {
          COLORREF expected = kBackdrop;
          if (x >= c.Drawn.left && x < c.Drawn.right && y >= c.Drawn.top && y < c.Drawn.bottom) {
            const COLORREF picture =
                ColourOf(frame.Indices[(y - c.Drawn.top) / scale * 4 + (x - c.Drawn.left) / scale]);
            if (picture != kLeftOut) expected = picture;
          }
          EXPECT_EQ(canvas.At(x, y), expected) << "at " << x << ", " << y;
        }
      }
      if (palette) DeleteObject(palette);
    }
  }
}

TEST(TransparentStretch, MonochromeBitmapLeavesOutWhite) {
  // Rows of 16 bits: 1010 0000 ... and 0101 0000 ...; 1 is white.
  const std::uint16_t rows[] = {0x00A0, 0x0050};
  HBITMAP bitmap = CreateBitmap(4, 2, 1, 1, rows);
  ASSERT_NE(bitmap, nullptr);
  TDibSurface canvas(4, 2, kBackdrop);
  ASSERT_TRUE(TransparentStretch(canvas.Dc(), {0, 0, 4, 2}, bitmap, nullptr, {0, 0, 4, 2}, kLeftOut));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(canvas.At(x, y), (x + y) % 2 == 0 ? kBackdrop : RGB(0, 0, 0)) << "at " << x << ", " << y;
  DeleteObject(bitmap);
  EXPECT_FALSE(TransparentStretch(canvas.Dc(), {0, 0, 1, 1}, nullptr, nullptr, {0, 0, 1, 1}, 0));  // no bitmap
  EXPECT_EQ(canvas.At(0, 0), kBackdrop);
}

}  // namespace
}  // namespace quickintro
