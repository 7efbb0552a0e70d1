#include "transparent_stretch.h"

namespace quickintro::gif {
namespace {

class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class GdiBitmap {
 public:
  explicit GdiBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~GdiBitmap() {
    if (bitmap_) DeleteObject(bitmap_);
  }
  GdiBitmap(const GdiBitmap&) = delete;
  GdiBitmap& operator=(const GdiBitmap&) = delete;
  HBITMAP get() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
};

// Selects an object into a context for the scope; the old one goes back.
class ObjectSelection {
 public:
  ObjectSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~ObjectSelection() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  ObjectSelection(const ObjectSelection&) = delete;
  ObjectSelection& operator=(const ObjectSelection&) = delete;
  bool ok() const { return old_ && old_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Selects and realises a palette for the scope (none when palette is null).
class PaletteSelection {
 public:
  PaletteSelection(HDC dc, HPALETTE palette, bool background)
      : dc_(dc), old_(palette ? SelectPalette(dc, palette, background ? TRUE : FALSE) : nullptr) {
    if (old_) RealizePalette(dc);
  }
  ~PaletteSelection() {
    if (old_) SelectPalette(dc_, old_, TRUE);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE old_;
};

struct Area {
  int x, y, width, height;
};

// Steps 4 to 11 of the masked drawing: the picture and the destination meet
// in buffer, which alone is copied to the destination.
bool ComposeMasked(HDC destination, Area to, HDC picture, Area from, COLORREF leftOut, HPALETTE palette,
                   bool monochrome) {
  GdiBitmap maskBitmap(CreateBitmap(from.width, from.height, 1, 1, nullptr));
  GdiBitmap inverseBitmap(CreateBitmap(from.width, from.height, 1, 1, nullptr));
  GdiBitmap bufferBitmap(CreateCompatibleBitmap(destination, to.width, to.height));
  GdiBitmap workBitmap(CreateCompatibleBitmap(destination, from.width, from.height));
  MemoryDc mask(destination), inverse(destination), buffer(destination), work(destination);
  if (!maskBitmap.get() || !inverseBitmap.get() || !bufferBitmap.get() || !workBitmap.get() ||
      !mask.get() || !inverse.get() || !buffer.get() || !work.get())
    return false;
  ObjectSelection maskSelection(mask.get(), maskBitmap.get());
  ObjectSelection inverseSelection(inverse.get(), inverseBitmap.get());
  ObjectSelection bufferSelection(buffer.get(), bufferBitmap.get());
  ObjectSelection workSelection(work.get(), workBitmap.get());
  if (!maskSelection.ok() || !inverseSelection.ok() || !bufferSelection.ok() || !workSelection.ok())
    return false;
  PaletteSelection destinationPalette(destination, palette, true);
  PaletteSelection bufferPalette(buffer.get(), palette, true);
  PaletteSelection workPalette(work.get(), palette, false);
  PaletteSelection maskPalette(mask.get(), palette, false);
  // The stretching happens in buffer, so it gets the destination's mode too.
  if (!monochrome) SetStretchBltMode(buffer.get(), COLORONCOLOR);
  SetMapMode(picture, GetMapMode(destination));
  SetMapMode(work.get(), GetMapMode(destination));

  BitBlt(work.get(), 0, 0, from.width, from.height, picture, from.x, from.y, SRCCOPY);
  // Colour to monochrome: pixels of the background colour become 1.
  const COLORREF oldBackground = SetBkColor(work.get(), leftOut | 0x02000000);
  BitBlt(mask.get(), 0, 0, from.width, from.height, work.get(), 0, 0, SRCCOPY);
  SetBkColor(work.get(), oldBackground);
  BitBlt(inverse.get(), 0, 0, from.width, from.height, mask.get(), 0, 0, NOTSRCCOPY);
  BitBlt(buffer.get(), 0, 0, to.width, to.height, destination, to.x, to.y, SRCCOPY);
  // Opaque picture pixels turn the buffer black; transparent ones keep it.
  StretchBlt(buffer.get(), 0, 0, to.width, to.height, mask.get(), 0, 0, from.width, from.height, SRCAND);
  // Transparent picture pixels turn black, so painting them changes nothing.
  BitBlt(work.get(), 0, 0, from.width, from.height, inverse.get(), 0, 0, SRCAND);
  StretchBlt(buffer.get(), 0, 0, to.width, to.height, work.get(), 0, 0, from.width, from.height, SRCPAINT);
  return BitBlt(destination, to.x, to.y, to.width, to.height, buffer.get(), 0, 0, SRCCOPY) != FALSE;
}

}  // namespace

COLORREF ResolveColor(std::uint32_t color) {
  if ((color & 0xFF000000u) == kSystemColorFlag) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFFu;
}

bool TransparentStretch(HDC destination, const RECT& destRect, HBITMAP bitmap, HPALETTE palette,
                        const RECT& sourceRect, std::uint32_t transparentColor) noexcept {
  BITMAP info{};
  if (!destination || !bitmap || GetObject(bitmap, sizeof info, &info) == 0) return false;
  const bool monochrome = info.bmBitsPixel == 1 && info.bmPlanes == 1;
  Area to{destRect.left, destRect.top, destRect.right - destRect.left, destRect.bottom - destRect.top};
  if (to.width <= 0) to.width = info.bmWidth;
  if (to.height <= 0) to.height = info.bmHeight;
  const Area from{sourceRect.left, sourceRect.top, sourceRect.right - sourceRect.left,
                  sourceRect.bottom - sourceRect.top};
  if (!monochrome) SetStretchBltMode(destination, COLORONCOLOR);
  MemoryDc picture(destination);
  if (!picture.get()) return false;
  ObjectSelection pictureSelection(picture.get(), bitmap);
  if (!pictureSelection.ok()) return false;
  const COLORREF leftOut = monochrome ? RGB(255, 255, 255) : ResolveColor(transparentColor);
  return ComposeMasked(destination, to, picture.get(), from, leftOut, palette, monochrome);
}

}  // namespace quickintro::gif
