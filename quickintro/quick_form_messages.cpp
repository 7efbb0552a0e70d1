// The wizard window's messages: the window procedures, clicks, keys, cursors
// and painting. Every procedure catches what its handlers throw: nothing may
// unwind through the system's frames.
#include "quick_form.h"

#include <windowsx.h>

#include <utility>

namespace quickintro {
namespace {

TQuickForm* FormOfWindow(HWND hwnd) {
  return reinterpret_cast<TQuickForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Stores the creating form in a window's user data as it is created.
void AttachForm(HWND hwnd, LPARAM lParam) {
  auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

}  // namespace

template <typename Action>
void TQuickForm::Guarded(Action&& action) {
  try {
    action();
  } catch (const std::exception& failure) {
    ReportError(failure.what());
  } catch (...) {
    ReportError("Unexpected failure");
  }
}

void TQuickForm::ReportError(const std::string& message) {
  std::string text = message;
  if (text.empty() || text.back() != '.') text += '.';
  if (options_.showError) {
    options_.showError(text);
    return;
  }
  MessageBoxA(hwnd_, text.c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

LRESULT CALLBACK TQuickForm::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    AttachForm(hwnd, lParam);
    FormOfWindow(hwnd)->hwnd_ = hwnd;
  }
  TQuickForm* form = FormOfWindow(hwnd);
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return form->HandleFormMessage(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK TQuickForm::NotebookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The pages cover the notebook whole; it has nothing of its own to paint.
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TQuickForm::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AttachForm(hwnd, lParam);
  TQuickForm* form = FormOfWindow(hwnd);
  Page* page = form ? form->PageOfWindow(hwnd) : nullptr;
  if (!page) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return form->HandlePageMessage(*page, message, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT TQuickForm::HandleFormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case DM_GETDEFID:
      return DefaultButtonId();
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      PaintForm(dc);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintForm(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) savedFocus_ = GetFocus();
      else if (savedFocus_ && IsWindow(savedFocus_)) SetFocus(savedFocus_);
      return 0;
    case WM_CLOSE:
      Guarded([this] {
        RunEvent(*items_[0], "OnClose");
        DestroyWindow(hwnd_);
      });
      return 0;
    case WM_DESTROY:
      if (options_.quitOnDestroy) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      for (auto& item : items_) item->window = nullptr;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT TQuickForm::HandlePageMessage(Page& page, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = page.item->window;
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      PaintPageBuffered(dc, page);
      EndPaint(hwnd, &paint);
      if (options_.afterPagePaint) Guarded(options_.afterPagePaint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintPage(reinterpret_cast<HDC>(wParam), page.item->pageIndex);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      OnPageMouse(page, message, lParam);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && OnSetCursor(page, reinterpret_cast<HWND>(wParam))) return TRUE;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

void TQuickForm::OnCommand(WPARAM wParam, LPARAM lParam) {
  FormItem* item = ItemOfControlId(LOWORD(wParam));
  if (!item || HIWORD(wParam) != BN_CLICKED || !IsWindowEnabled(item->window)) return;
  Guarded([&] {
    if (item->Kind() == ItemKind::RadioButton) SetRadioChecked(*item);
    else RunEvent(*item, "OnClick");
  });
}

// Enter presses the focused push button, else the default one.
LRESULT TQuickForm::DefaultButtonId() const {
  HWND focus = GetFocus();
  int id = nextBtn_->controlId;
  for (const auto& item : items_) {
    if (item->Kind() != ItemKind::Button) continue;
    if (item->window == focus) return MAKELRESULT(item->controlId, DC_HASDEFID);
    if (item->layout->Has(ItemFlag::Default)) id = item->controlId;
  }
  return MAKELRESULT(id, DC_HASDEFID);
}

LRESULT TQuickForm::OnControlColor(HDC dc, HWND control) {
  for (auto& item : items_) {
    if (item->window != control || !item->background) continue;
    SetBkColor(dc, ResolveColor(item->layout->color));
    SetTextColor(dc, ResolveColor(item->layout->font.color));
    return reinterpret_cast<LRESULT>(item->background.Get());
  }
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// The topmost visible drawn item under a point of the page.
FormItem* TQuickForm::ItemAt(const Page& page, POINT point) const {
  for (auto it = page.stacking.rbegin(); it != page.stacking.rend(); ++it) {
    RECT rect = ItemRect(**it);
    if ((*it)->visible && PtInRect(&rect, point)) return *it;
  }
  return nullptr;
}

// A drawn item is clicked when the button goes down and up over it.
void TQuickForm::OnPageMouse(Page& page, UINT message, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  FormItem* hit = ItemAt(page, point);
  if (message == WM_LBUTTONDOWN) {
    pressedItem_ = hit;
    SetCapture(page.item->window);
    return;
  }
  FormItem* pressed = std::exchange(pressedItem_, nullptr);
  if (GetCapture() == page.item->window) ReleaseCapture();
  if (hit && hit == pressed) Guarded([&] { RunEvent(*hit, "OnClick"); });
}

bool TQuickForm::OnSetCursor(Page& page, HWND target) {
  FormItem* item = nullptr;
  if (target == page.item->window) {
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(target, &point);
    item = ItemAt(page, point);
  } else {
    for (auto& candidate : items_)
      if (candidate->window == target) item = candidate.get();
  }
  if (!item || !item->cursor) return false;
  SetCursor(item->cursor);
  return true;
}

// ---- Painting ----

void TQuickForm::PaintForm(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  UniqueBrush face(CreateSolidBrush(ResolveColor(items_[0]->layout->color)));
  FillRect(dc, &client, face.Get());
  for (auto& item : items_)
    if (item->layout->parent == 0 && item->IsDrawn()) PaintDrawnItem(dc, *item, fonts_);
}

void TQuickForm::PaintPage(HDC dc, int pageIndex) {
  const Page& page = pages_.at(pageIndex);
  PaintPageItems(dc, page.item->bounds, ResolveColor(notebook_->layout->color), page.stacking, fonts_);
}

// Paints into a memory bitmap first, so a page never flickers.
void TQuickForm::PaintPageBuffered(HDC target, Page& page) {
  const RECT& r = page.item->bounds;
  int width = r.right - r.left, height = r.bottom - r.top;
  UniqueMemoryDc memory(CreateCompatibleDC(target));
  UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
  if (!memory || !bitmap) {
    PaintPage(target, page.item->pageIndex);
    return;
  }
  {
    SelectedObject selected(memory.Get(), bitmap.Get());
    PaintPage(memory.Get(), page.item->pageIndex);
    BitBlt(target, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
  }
}

}  // namespace quickintro
