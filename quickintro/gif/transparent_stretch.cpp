#include "transparent_stretch.h"

#include "win32_handles.h"

namespace quickintro::gif {
namespace {

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

// A memory context with its own bitmap selected for its whole life.
class OffscreenSurface {
 public:
  OffscreenSurface(HDC compatibleWith, HBITMAP bitmap)
      : bitmap_(bitmap), dc_(CreateCompatibleDC(compatibleWith)), selection_(dc_.Get(), bitmap) {}
  bool ok() const { return bitmap_ && dc_ && GetCurrentObject(dc_.Get(), OBJ_BITMAP) == bitmap_.Get(); }
  HDC dc() const { return dc_.Get(); }

 private:
  // Torn down in reverse: the selection undone, then the context and the
  // bitmap deleted.
  UniqueBitmap bitmap_;
  UniqueMemoryDc dc_;
  SelectedObject selection_;
};

struct Area {
  int x, y, width, height;
};

// The picture and the destination meet in buffer, which alone is copied to
// the destination, so no stage of the masking shows.
bool BlendThroughMasks(HDC destination, Area to, HDC picture, Area from, COLORREF leftOut, HDC mask,
                       HDC inverse, HDC buffer, HDC work) {
  BitBlt(work, 0, 0, from.width, from.height, picture, from.x, from.y, SRCCOPY);
  // Colour to monochrome: pixels of the background colour become 1.
  const COLORREF oldBackground = SetBkColor(work, leftOut | 0x02000000);
  BitBlt(mask, 0, 0, from.width, from.height, work, 0, 0, SRCCOPY);
  SetBkColor(work, oldBackground);
  BitBlt(inverse, 0, 0, from.width, from.height, mask, 0, 0, NOTSRCCOPY);
  BitBlt(buffer, 0, 0, to.width, to.height, destination, to.x, to.y, SRCCOPY);
  // Opaque picture pixels turn the buffer black; transparent ones keep it.
  StretchBlt(buffer, 0, 0, to.width, to.height, mask, 0, 0, from.width, from.height, SRCAND);
  // Transparent picture pixels turn black, so painting them changes nothing.
  BitBlt(work, 0, 0, from.width, from.height, inverse, 0, 0, SRCAND);
  StretchBlt(buffer, 0, 0, to.width, to.height, work, 0, 0, from.width, from.height, SRCPAINT);
  return BitBlt(destination, to.x, to.y, to.width, to.height, buffer, 0, 0, SRCCOPY) != FALSE;
}

bool ComposeMasked(HDC destination, Area to, HDC picture, Area from, COLORREF leftOut, HPALETTE palette,
                   bool monochrome) {
  OffscreenSurface mask(destination, CreateBitmap(from.width, from.height, 1, 1, nullptr));
  OffscreenSurface inverse(destination, CreateBitmap(from.width, from.height, 1, 1, nullptr));
  OffscreenSurface buffer(destination, CreateCompatibleBitmap(destination, to.width, to.height));
  OffscreenSurface work(destination, CreateCompatibleBitmap(destination, from.width, from.height));
  if (!mask.ok() || !inverse.ok() || !buffer.ok() || !work.ok()) return false;
  PaletteSelection destinationPalette(destination, palette, true);
  PaletteSelection bufferPalette(buffer.dc(), palette, true);
  PaletteSelection workPalette(work.dc(), palette, false);
  PaletteSelection maskPalette(mask.dc(), palette, false);
  // The stretching happens in buffer, so it gets the destination's mode too.
  if (!monochrome) SetStretchBltMode(buffer.dc(), COLORONCOLOR);
  SetMapMode(picture, GetMapMode(destination));
  SetMapMode(work.dc(), GetMapMode(destination));
  return BlendThroughMasks(destination, to, picture, from, leftOut, mask.dc(), inverse.dc(), buffer.dc(), work.dc());
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
  const UniqueMemoryDc picture(CreateCompatibleDC(destination));
  if (!picture) return false;
  const SelectedObject pictureSelection(picture.Get(), bitmap);
  if (GetCurrentObject(picture.Get(), OBJ_BITMAP) != bitmap) return false;  // selected elsewhere
  const COLORREF leftOut = monochrome ? RGB(255, 255, 255) : ResolveColor(transparentColor);
  return ComposeMasked(destination, to, picture.Get(), from, leftOut, palette, monochrome);
}

}  // namespace quickintro::gif
