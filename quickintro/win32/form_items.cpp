#include "quickintro/win32/form_items.h"

#include "quickintro/win32/system_colors.h"

#include <array>

namespace quickintro {
namespace {

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.Get());
}

// A 1-pixel horizontal or vertical line of pixels, both ends included.
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  RECT rect{x1, y1, x2 + 1, y2 + 1};
  FillSolid(dc, rect, color);
}

// The outline of the rectangle whose corner pixels are (x1, y1), (x2, y2).
void Outline(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  Line(dc, x1, y1, x2, y1, color);
  Line(dc, x1, y2, x2, y2, color);
  Line(dc, x1, y1, x1, y2, color);
  Line(dc, x2, y1, x2, y2, color);
}

void PaintBevel(HDC dc, const TFormItem& item) {
  const RECT& r = item.Bounds;
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  int right = r.right - 1, bottom = r.bottom - 1;
  if (static_cast<TBevelStyle>(item.Layout->Style) == bsEtchedFrame) {
    Outline(dc, r.left + 1, r.top + 1, right, bottom, highlight);
    Outline(dc, r.left, r.top, right - 1, bottom - 1, shadow);
    return;
  }
  // A lowered box: shadow above and left, highlight below and right.
  Line(dc, r.left, r.top, right, r.top, shadow);
  Line(dc, r.left, r.top, r.left, bottom, shadow);
  Line(dc, right, r.top, right, bottom, highlight);
  Line(dc, r.left, bottom, right, bottom, highlight);
}

void PaintShape(HDC dc, const TFormItem& item) {
  bool filled = static_cast<TShapeStyle>(item.Layout->Style) == ssSolidFill;
  UniqueBrush fill(filled ? CreateSolidBrush(ResolveColor(item.Layout->Color)) : nullptr);
  TSelectedObject pen(dc, GetStockObject(BLACK_PEN));
  TSelectedObject brush(dc, filled ? static_cast<HGDIOBJ>(fill.Get()) : GetStockObject(NULL_BRUSH));
  const RECT& r = item.Bounds;
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void PaintLabel(HDC dc, const TFormItem& item, TFontCache& fonts) {
  const TLayoutItem& label = *item.Layout;
  TSavedDcState state(dc);
  SelectObject(dc, fonts.Get(label.Font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ResolveColor(label.Font.Color));
  // Lines break at the label's width but are not cut at its bottom: where a
  // substitute face stands in, its lines may be a pixel or two taller.
  UINT format = DT_NOPREFIX | DT_NOCLIP;
  if (label.Align == alCenter) format |= DT_CENTER;
  if (label.Align == alRight) format |= DT_RIGHT;
  if (label.Has(ifWordWrap)) format |= DT_WORDBREAK;
  RECT rect = item.Bounds;
  DrawTextA(dc, label.Text.c_str(), static_cast<int>(label.Text.size()), &rect, format);
}

void PaintPicture(HDC dc, const TFormItem& item) {
  if (!item.Graphic) return;
  RECT clip = ItemRect(item);
  int width = item.Graphic->PixelWidth(), height = item.Graphic->PixelHeight();
  int left = clip.left, top = clip.top;
  if (item.Layout->Has(ifCenter)) {
    left += (clip.right - clip.left - width) / 2;
    top += (clip.bottom - clip.top - height) / 2;
  }
  TSavedDcState state(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  RECT target{left, top, left + width, top + height};
  item.Graphic->DrawInto(dc, target);
}

int CALLBACK NoteFaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

bool FaceInstalled(const char* face) {
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
  HDC screen = GetDC(nullptr);
  bool found = false;
  EnumFontFamiliesExA(screen, &wanted, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

bool TFormItem::IsDrawn() const {
  switch (Kind()) {
    case ikImage:
    case ikLabel:
    case ikShape:
    case ikBevel:
      return true;
    default:
      return false;
  }
}

RECT ItemRect(const TFormItem& item) {
  RECT rect = item.Bounds;
  if (item.Graphic && item.Layout->Has(ifAutoSize)) {
    rect.right = rect.left + item.Graphic->PixelWidth();
    rect.bottom = rect.top + item.Graphic->PixelHeight();
  }
  return rect;
}

std::string FaceOnThisSystem(const std::string& face) {
  static const std::array<const char*, 3> kSubstitutes = {"Microsoft Sans Serif", "Tahoma", "Arial"};
  if (FaceInstalled(face.c_str())) return face;
  for (const char* substitute : kSubstitutes)
    if (FaceInstalled(substitute)) return substitute;
  return face;
}

HFONT TFontCache::Get(const TLayoutFont& font) {
  for (const auto& [known, handle] : fonts_)
    if (known == font) return handle.Get();
  std::string face = FaceOnThisSystem(font.Face);
  UniqueFont created(CreateFontA(-font.Height, 0, 0, 0, (font.Style & fsBold) ? FW_BOLD : FW_NORMAL,
                                 (font.Style & fsItalic) != 0, (font.Style & fsUnderline) != 0,
                                 FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, face.c_str()));
  HFONT handle = created.Get();
  fonts_.emplace_back(font, std::move(created));
  return handle;
}

void PaintDrawnItem(HDC dc, const TFormItem& item, TFontCache& fonts) {
  if (!item.Visible) return;
  switch (item.Kind()) {
    case ikImage: PaintPicture(dc, item); break;
    case ikLabel: PaintLabel(dc, item, fonts); break;
    case ikShape: PaintShape(dc, item); break;
    case ikBevel: PaintBevel(dc, item); break;
    default: break;
  }
}

void PaintPageItems(HDC dc, const RECT& pageRect, COLORREF pageColor, const std::vector<TFormItem*>& stacking,
                    TFontCache& fonts) {
  FillSolid(dc, pageRect, pageColor);
  for (const TFormItem* item : stacking) PaintDrawnItem(dc, *item, fonts);
}

}  // namespace quickintro
