#pragma once
// The items of the wizard window as they live at run time, and how the
// drawn ones (pictures, labels, shapes, frames) paint themselves.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quickintro/form_layout.h"
#include "quickintro/win32/graphic.h"
#include "quickintro/win32/win32_handles.h"

namespace quickintro {

struct TFormItem {
  const TLayoutItem* Layout = nullptr;
  RECT Bounds{};          // in the parent's client area (a page for page items), at 96 dpi
  bool Visible = true;
  bool Checked = false;   // radio buttons
  HWND Window = nullptr;  // the form, the notebook, pages, controls and the drawn items that hold a text
  int PageIndex = -1;     // pages: their index in the notebook
  std::unique_ptr<TGraphic> Graphic;  // pictures of a registered class
  HCURSOR Cursor = nullptr;
  int ControlId = 0;      // controls: the id their notifications carry
  UniqueBrush Background; // controls with a colour of their own

  const std::string& Name() const { return Layout->Name; }
  TItemKind Kind() const { return Layout->Kind; }
  bool IsDrawn() const;  // painted by its parent rather than a window
  bool IsControl() const { return Kind() == ikButton || Kind() == ikRadioButton; }
  // A drawn item with a text (a label, a picture that names the choice it
  // makes) also has a window that holds the text for screen readers; the
  // window shows what its parent paints there.
  bool HoldsText() const { return IsDrawn() && !Layout->Text.empty(); }
};

// Fonts of the layout at each scale, created once each (display_scale.h
// tells which face and size).
class TFontCache {
 public:
  HFONT Get(const TLayoutFont& font, int dpi);
  // Deletes the fonts of every other scale; no window may still use them.
  void KeepOnly(int dpi);

 private:
  struct TEntry {
    TLayoutFont Font;
    int Dpi;
    UniqueFont Handle;
  };
  std::vector<TEntry> fonts_;
};

// The first installed face of a list; the first one when none is.
std::string FaceOnThisSystem(const std::vector<std::string>& faces);

// Paints one drawn item onto its parent's device context at dpi.
void PaintDrawnItem(HDC dc, const TFormItem& item, TFontCache& fonts, int dpi);

// Paints a page at dpi: its colour, then the drawn items bottom first.
void PaintPageItems(HDC dc, const RECT& pageRect, COLORREF pageColor, const std::vector<TFormItem*>& stacking,
                    TFontCache& fonts, int dpi);

// The item's rectangle as it catches the mouse and clips its drawing, at
// 96 dpi: an auto-size picture takes its graphic's size.
RECT ItemRect(const TFormItem& item);

// A rectangle of the layout (at 96 dpi) in pixels at dpi.
RECT ScaleRect(const RECT& rect, int dpi);

}  // namespace quickintro
