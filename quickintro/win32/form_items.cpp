#include "quickintro/win32/form_items.h"

#include "quickintro/display_scale.h"
#include "quickintro/win32/system_colors.h"

namespace quickintro {
namespace {

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.Get());
}

// The outline of a rectangle, lines of the given width inside it.
void Outline(HDC dc, const RECT& r, int width, COLORREF color) {
  FillSolid(dc, {r.left, r.top, r.right, r.top + width}, color);
  FillSolid(dc, {r.left, r.bottom - width, r.right, r.bottom}, color);
  FillSolid(dc, {r.left, r.top, r.left + width, r.bottom}, color);
  FillSolid(dc, {r.right - width, r.top, r.right, r.bottom}, color);
}

void PaintBevel(HDC dc, const TFormItem& item, int dpi) {
  const RECT r = ScaleRect(item.Bounds, dpi);
  const int width = LineWidthAt(dpi);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  if (static_cast<TBevelStyle>(item.Layout->Style) == bsEtchedFrame) {
    Outline(dc, {r.left + width, r.top + width, r.right, r.bottom}, width, highlight);
    Outline(dc, {r.left, r.top, r.right - width, r.bottom - width}, width, shadow);
    return;
  }
  // A lowered box: shadow above and left, highlight below and right.
  FillSolid(dc, {r.left, r.top, r.right, r.top + width}, shadow);
  FillSolid(dc, {r.left, r.top, r.left + width, r.bottom}, shadow);
  FillSolid(dc, {r.right - width, r.top, r.right, r.bottom}, highlight);
  FillSolid(dc, {r.left, r.bottom - width, r.right, r.bottom}, highlight);
}

// A black outline, filled inside unless the shape has no fill.
void PaintShape(HDC dc, const TFormItem& item, int dpi) {
  const RECT r = ScaleRect(item.Bounds, dpi);
  const int width = LineWidthAt(dpi);
  if (static_cast<TShapeStyle>(item.Layout->Style) == ssSolidFill)
    FillSolid(dc, {r.left + width, r.top + width, r.right - width, r.bottom - width}, ResolveColor(item.Layout->Color));
  Outline(dc, r, width, RGB(0, 0, 0));
}

void PaintLabel(HDC dc, const TFormItem& item, TFontCache& fonts, int dpi) {
  const TLayoutItem& label = *item.Layout;
  TSavedDcState state(dc);
  SelectObject(dc, fonts.Get(label.Font, dpi));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ResolveColor(label.Font.Color));
  // Lines break at the label's width but are not cut at its bottom: where a
  // substitute face stands in at 96 dpi, its lines may be a pixel or two
  // taller. At other scales the face is chosen by line height and fits.
  UINT format = DT_NOPREFIX | DT_NOCLIP;
  if (label.Align == alCenter) format |= DT_CENTER;
  if (label.Align == alRight) format |= DT_RIGHT;
  if (label.Has(ifWordWrap)) format |= DT_WORDBREAK;
  RECT rect = ScaleRect(item.Bounds, dpi);
  DrawTextA(dc, label.Text.c_str(), static_cast<int>(label.Text.size()), &rect, format);
}

// The picture at its own size (at 96 dpi), centred in its item where the
// layout says so, and clipped by the item; scaled as a whole, so that its
// edges fall where the layout's edges fall at dpi.
void PaintPicture(HDC dc, const TFormItem& item, int dpi) {
  if (!item.Graphic) return;
  const RECT clip = ItemRect(item);
  int width = item.Graphic->PixelWidth(), height = item.Graphic->PixelHeight();
  int left = clip.left, top = clip.top;
  if (item.Layout->Has(ifCenter)) {
    left += (clip.right - clip.left - width) / 2;
    top += (clip.bottom - clip.top - height) / 2;
  }
  const RECT scaledClip = ScaleRect(clip, dpi);
  TSavedDcState state(dc);
  IntersectClipRect(dc, scaledClip.left, scaledClip.top, scaledClip.right, scaledClip.bottom);
  item.Graphic->DrawInto(dc, ScaleRect({left, top, left + width, top + height}, dpi));
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

int LineHeightOf(HFONT font) {
  HDC screen = GetDC(nullptr);
  TEXTMETRICA metrics{};
  {
    TSelectedObject selected(screen, font);
    GetTextMetricsA(screen, &metrics);
  }
  ReleaseDC(nullptr, screen);
  return metrics.tmHeight;
}

UniqueFont CreateFontOfHeight(const TLayoutFont& font, const std::string& face, int height) {
  return UniqueFont(CreateFontA(height, 0, 0, 0, (font.Style & fsBold) ? FW_BOLD : FW_NORMAL,
                                (font.Style & fsItalic) != 0, (font.Style & fsUnderline) != 0, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, face.c_str()));
}

// A font asked for by line height (a positive height) may come out a pixel
// taller where the system rounds its size up; the next smaller size is
// taken then. One asked for by letter height is taken as it comes.
UniqueFont CreateLayoutFont(const TLayoutFont& font, const std::string& face, int height) {
  UniqueFont created = CreateFontOfHeight(font, face, height);
  if (height <= 0) return created;
  for (int smaller = height - 1; created && smaller > height / 2 && LineHeightOf(created.Get()) > height; --smaller)
    created = CreateFontOfHeight(font, face, smaller);
  return created;
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

RECT ScaleRect(const RECT& rect, int dpi) {
  const TEdges edges = ScaleEdges({rect.left, rect.top, rect.right, rect.bottom}, dpi);
  return RECT{edges.Left, edges.Top, edges.Right, edges.Bottom};
}

std::string FaceOnThisSystem(const std::vector<std::string>& faces) {
  for (const std::string& face : faces)
    if (FaceInstalled(face.c_str())) return face;
  return faces.empty() ? std::string() : faces.front();
}

HFONT TFontCache::Get(const TLayoutFont& font, int dpi) {
  for (const TEntry& entry : fonts_)
    if (entry.Font == font && entry.Dpi == dpi) return entry.Handle.Get();
  const TFontRequest request = FontRequestAt(font, dpi);
  fonts_.push_back(TEntry{font, dpi, CreateLayoutFont(font, FaceOnThisSystem(request.Faces), request.Height)});
  return fonts_.back().Handle.Get();
}

void TFontCache::KeepOnly(int dpi) {
  std::erase_if(fonts_, [dpi](const TEntry& entry) { return entry.Dpi != dpi; });
}

void PaintDrawnItem(HDC dc, const TFormItem& item, TFontCache& fonts, int dpi) {
  if (!item.Visible) return;
  switch (item.Kind()) {
    case ikImage: PaintPicture(dc, item, dpi); break;
    case ikLabel: PaintLabel(dc, item, fonts, dpi); break;
    case ikShape: PaintShape(dc, item, dpi); break;
    case ikBevel: PaintBevel(dc, item, dpi); break;
    default: break;
  }
}

void PaintPageItems(HDC dc, const RECT& pageRect, COLORREF pageColor, const std::vector<TFormItem*>& stacking,
                    TFontCache& fonts, int dpi) {
  FillSolid(dc, pageRect, pageColor);
  for (const TFormItem* item : stacking) PaintDrawnItem(dc, *item, fonts, dpi);
}

}  // namespace quickintro
