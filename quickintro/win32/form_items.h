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
  RECT Bounds{};          // in the parent's client area (a page for page items)
  bool Visible = true;
  bool Checked = false;   // radio buttons
  HWND Window = nullptr;  // the form, the notebook, pages and controls
  int PageIndex = -1;     // pages: their index in the notebook
  std::unique_ptr<TGraphic> Graphic;  // pictures of a registered class
  HCURSOR Cursor = nullptr;
  int ControlId = 0;      // controls: the id their notifications carry
  UniqueBrush Background; // controls with a colour of their own

  const std::string& Name() const { return Layout->Name; }
  TItemKind Kind() const { return Layout->Kind; }
  bool IsDrawn() const;  // painted by its parent rather than a window
  bool IsControl() const { return Kind() == ikButton || Kind() == ikRadioButton; }
};

// Fonts of the layout, created once each. MS Sans Serif is used where the
// system has it, a close substitute where it does not.
class TFontCache {
 public:
  HFONT Get(const TLayoutFont& font);

 private:
  std::vector<std::pair<TLayoutFont, UniqueFont>> fonts_;
};

// The face used for a layout face name.
std::string FaceOnThisSystem(const std::string& face);

// Paints one drawn item onto its parent's device context.
void PaintDrawnItem(HDC dc, const TFormItem& item, TFontCache& fonts);

// Paints a page: its colour, then the drawn items bottom first.
void PaintPageItems(HDC dc, const RECT& pageRect, COLORREF pageColor, const std::vector<TFormItem*>& stacking,
                    TFontCache& fonts);

// The item's rectangle as it catches the mouse and clips its drawing: an
// auto-size picture takes its graphic's size.
RECT ItemRect(const TFormItem& item);

}  // namespace quickintro
