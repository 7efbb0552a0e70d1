#include "quickintro/win32/transparent_stretch.h"

#include "quickintro/win32/system_colors.h"
#include "quickintro/win32/win32_handles.h"

namespace quickintro {
namespace {

// Selects and realises a palette for the scope (none when palette is null).
class TPaletteSelection {
 public:
  TPaletteSelection(HDC dc, HPALETTE palette, bool background)
      : dc_(dc), old_(palette ? SelectPalette(dc, palette, background ? TRUE : FALSE) : nullptr) {
    if (old_) RealizePalette(dc);
  }
  ~TPaletteSelection() {
    if (old_) SelectPalette(dc_, old_, TRUE);
  }
  TPaletteSelection(const TPaletteSelection&) = delete;
  TPaletteSelection& operator=(const TPaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE old_;
};

// A memory context with its own bitmap selected for its whole life.
class TOffscreenSurface {
 public:
  TOffscreenSurface(HDC compatibleWith, HBITMAP bitmap)
      : bitmap_(bitmap), dc_(CreateCompatibleDC(compatibleWith)), selection_(dc_.Get(), bitmap) {}
  bool Ok() const { return bitmap_ && dc_ && GetCurrentObject(dc_.Get(), OBJ_BITMAP) == bitmap_.Get(); }
  HDC Dc() const { return dc_.Get(); }

 private:
  // Torn down in reverse: the selection undone, then the context and the
  // bitmap deleted.
  UniqueBitmap bitmap_;
  UniqueMemoryDc dc_;
  TSelectedObject selection_;
};

struct TArea {
  int X, Y, Width, Height;
};

// The picture and the destination meet in buffer, which alone is copied to
// the destination, so no stage of the masking shows.
bool BlendThroughMasks(HDC destination, TArea to, HDC picture, TArea from, COLORREF leftOut, HDC mask,
                       HDC inverse, HDC buffer, HDC work) {
  BitBlt(work, 0, 0, from.Width, from.Height, picture, from.X, from.Y, SRCCOPY);
  // Colour to monochrome: pixels of the background colour become 1.
  const COLORREF oldBackground = SetBkColor(work, leftOut | 0x02000000);
  BitBlt(mask, 0, 0, from.Width, from.Height, work, 0, 0, SRCCOPY);
  SetBkColor(work, oldBackground);
  BitBlt(inverse, 0, 0, from.Width, from.Height, mask, 0, 0, NOTSRCCOPY);
  BitBlt(buffer, 0, 0, to.Width, to.Height, destination, to.X, to.Y, SRCCOPY);
  // Opaque picture pixels turn the buffer black; transparent ones keep it.
  StretchBlt(buffer, 0, 0, to.Width, to.Height, mask, 0, 0, from.Width, from.Height, SRCAND);
  // Transparent picture pixels turn black, so painting them changes nothing.
  BitBlt(work, 0, 0, from.Width, from.Height, inverse, 0, 0, SRCAND);
  StretchBlt(buffer, 0, 0, to.Width, to.Height, work, 0, 0, from.Width, from.Height, SRCPAINT);
  return BitBlt(destination, to.X, to.Y, to.Width, to.Height, buffer, 0, 0, SRCCOPY) != FALSE;
}

bool ComposeMasked(HDC destination, TArea to, HDC picture, TArea from, COLORREF leftOut, HPALETTE palette,
                   bool monochrome) {
  TOffscreenSurface mask(destination, CreateBitmap(from.Width, from.Height, 1, 1, nullptr));
  TOffscreenSurface inverse(destination, CreateBitmap(from.Width, from.Height, 1, 1, nullptr));
  TOffscreenSurface buffer(destination, CreateCompatibleBitmap(destination, to.Width, to.Height));
  TOffscreenSurface work(destination, CreateCompatibleBitmap(destination, from.Width, from.Height));
  if (!mask.Ok() || !inverse.Ok() || !buffer.Ok() || !work.Ok()) return false;
  TPaletteSelection destinationPalette(destination, palette, true);
  TPaletteSelection bufferPalette(buffer.Dc(), palette, true);
  TPaletteSelection workPalette(work.Dc(), palette, false);
  TPaletteSelection maskPalette(mask.Dc(), palette, false);
  // The stretching happens in buffer, so it gets the destination's mode too.
  if (!monochrome) SetStretchBltMode(buffer.Dc(), COLORONCOLOR);
  SetMapMode(picture, GetMapMode(destination));
  SetMapMode(work.Dc(), GetMapMode(destination));
  return BlendThroughMasks(destination, to, picture, from, leftOut, mask.Dc(), inverse.Dc(), buffer.Dc(), work.Dc());
}

}  // namespace

bool TransparentStretch(HDC destination, const RECT& destRect, HBITMAP bitmap, HPALETTE palette,
                        const RECT& sourceRect, std::uint32_t transparentColor) noexcept {
  BITMAP info{};
  if (!destination || !bitmap || GetObject(bitmap, sizeof info, &info) == 0) return false;
  const bool monochrome = info.bmBitsPixel == 1 && info.bmPlanes == 1;
  TArea to{destRect.left, destRect.top, destRect.right - destRect.left, destRect.bottom - destRect.top};
  if (to.Width <= 0) to.Width = info.bmWidth;
  if (to.Height <= 0) to.Height = info.bmHeight;
  const TArea from{sourceRect.left, sourceRect.top, sourceRect.right - sourceRect.left,
                   sourceRect.bottom - sourceRect.top};
  if (!monochrome) SetStretchBltMode(destination, COLORONCOLOR);
  const UniqueMemoryDc picture(CreateCompatibleDC(destination));
  if (!picture) return false;
  const TSelectedObject pictureSelection(picture.Get(), bitmap);
  if (GetCurrentObject(picture.Get(), OBJ_BITMAP) != bitmap) return false;  // selected elsewhere
  const COLORREF leftOut = monochrome ? RGB(255, 255, 255) : ResolveColor(transparentColor);
  return ComposeMasked(destination, to, picture.Get(), from, leftOut, palette, monochrome);
}

}  // namespace quickintro
