// The wizard window's messages: the window procedures, clicks, keys, cursors
// and painting. Every procedure catches what its handlers throw: nothing may
// unwind through the system's frames.
#include "quickintro/win32/quick_form.h"

#include <windowsx.h>

#include <utility>

#include "quickintro/win32/debug_output.h"
#include "quickintro/win32/display_dpi.h"
#include "quickintro/win32/system_colors.h"

namespace quickintro {
namespace {

// Sent by the taskbar's window to itself: bring the wizard's window forward.
constexpr UINT WM_ACTIVATE_FORM = WM_APP + 1;

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
  } catch (...) {
    ReportError(CaughtFailureText());
  }
}

void TQuickForm::ReportError(const std::string& message) {
  std::string text = message;
  if (text.empty() || text.back() != '.') text += '.';
  if (options_.ShowError) {
    options_.ShowError(text);
    return;
  }
  MessageBoxA(hwnd_, text.c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

LRESULT CALLBACK TQuickForm::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    AttachForm(hwnd, lParam);
    FormOfWindow(hwnd)->hwnd_ = hwnd;
    EnableNonClientScaling(hwnd);
  }
  TQuickForm* form = FormOfWindow(hwnd);
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return form->HandleFormMessage(message, wParam, lParam);
  } catch (...) {
    WriteDebugLine("the wizard's window", CaughtFailureText());
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// Whatever reaches the program through its taskbar button goes to the
// wizard's window: activation, and closing (which stores the choice).
LRESULT CALLBACK TQuickForm::TaskbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AttachForm(hwnd, lParam);
  TQuickForm* form = FormOfWindow(hwnd);
  HWND wizard = form ? form->hwnd_ : nullptr;
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && wizard && IsWindowEnabled(wizard)) PostMessageA(hwnd, WM_ACTIVATE_FORM, 0, 0);
      return 0;
    case WM_ACTIVATE_FORM:
      if (wizard) SetForegroundWindow(wizard);
      return 0;
    case WM_CLOSE:
      if (wizard) SendMessageA(wizard, WM_CLOSE, 0, 0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
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
  TPage* page = form ? form->PageOfWindow(hwnd) : nullptr;
  if (!page) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return form->HandlePageMessage(*page, message, wParam, lParam);
  } catch (...) {
    WriteDebugLine("a page of the wizard", CaughtFailureText());
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
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
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
      ShowWindow(taskbarWindow_.Get(), SW_HIDE);  // the program leaves the taskbar with its window
      if (options_.QuitOnDestroy) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      for (auto& item : items_) item->Window = nullptr;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT TQuickForm::HandlePageMessage(TPage& page, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = page.Item->Window;
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
      RECT whole;
      GetClientRect(hwnd, &whole);
      PaintPageBuffered(dc, page, whole);
      EndPaint(hwnd, &paint);
      if (options_.AfterPagePaint) Guarded(options_.AfterPagePaint);
      return 0;
    }
    case WM_DRAWITEM: {
      // A text's window shows the part of the page it covers.
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      RECT area = draw->rcItem;
      MapWindowPoints(draw->hwndItem, hwnd, reinterpret_cast<POINT*>(&area), 2);
      PaintPageBuffered(draw->hDC, page, area);
      return TRUE;
    }
    case WM_PRINTCLIENT:
      PaintPage(reinterpret_cast<HDC>(wParam), page.Item->PageIndex);
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
  TFormItem* item = ItemOfControlId(LOWORD(wParam));
  if (!item || HIWORD(wParam) != BN_CLICKED || !IsWindowEnabled(item->Window)) return;
  Guarded([&] {
    if (item->Kind() == ikRadioButton) SetRadioChecked(*item);
    else RunEvent(*item, "OnClick");
  });
}

void TQuickForm::CheckFocusedRadio() {
  HWND focus = GetFocus();
  if (!focus) return;
  for (auto& item : items_)
    if (item->Window == focus && item->Kind() == ikRadioButton) Guarded([&] { SetRadioChecked(*item); });
}

// Enter presses the focused push button, else the default one.
LRESULT TQuickForm::DefaultButtonId() const {
  HWND focus = GetFocus();
  int id = nextBtn_->ControlId;
  for (const auto& item : items_) {
    if (item->Kind() != ikButton) continue;
    if (item->Window == focus) return MAKELRESULT(item->ControlId, DC_HASDEFID);
    if (item->Layout->Has(ifDefault)) id = item->ControlId;
  }
  return MAKELRESULT(id, DC_HASDEFID);
}

LRESULT TQuickForm::OnControlColor(HDC dc, HWND control) {
  for (auto& item : items_) {
    if (item->Window != control || !item->Background) continue;
    SetBkColor(dc, ResolveColor(item->Layout->Color));
    SetTextColor(dc, ResolveColor(item->Layout->Font.Color));
    return reinterpret_cast<LRESULT>(item->Background.Get());
  }
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// The topmost visible drawn item under a point of the page.
TFormItem* TQuickForm::ItemAt(const TPage& page, POINT point) const {
  for (auto it = page.Stacking.rbegin(); it != page.Stacking.rend(); ++it) {
    RECT rect = PixelRect(**it);
    if ((*it)->Visible && PtInRect(&rect, point)) return *it;
  }
  return nullptr;
}

// A drawn item is clicked when the button goes down and up over it.
void TQuickForm::OnPageMouse(TPage& page, UINT message, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  TFormItem* hit = ItemAt(page, point);
  if (message == WM_LBUTTONDOWN) {
    pressedItem_ = hit;
    SetCapture(page.Item->Window);
    return;
  }
  TFormItem* pressed = std::exchange(pressedItem_, nullptr);
  if (GetCapture() == page.Item->Window) ReleaseCapture();
  if (hit && hit == pressed) Guarded([&] { RunEvent(*hit, "OnClick"); });
}

bool TQuickForm::OnSetCursor(TPage& page, HWND target) {
  TFormItem* item = nullptr;
  if (target == page.Item->Window) {
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(target, &point);
    item = ItemAt(page, point);
  } else {
    for (auto& candidate : items_)
      if (candidate->Window == target) item = candidate.get();
  }
  if (!item || !item->Cursor) return false;
  SetCursor(item->Cursor);
  return true;
}

// ---- Painting ----

void TQuickForm::PaintForm(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  UniqueBrush face(CreateSolidBrush(ResolveColor(items_[0]->Layout->Color)));
  FillRect(dc, &client, face.Get());
  for (auto& item : items_)
    if (item->Layout->Parent == 0 && item->IsDrawn()) PaintDrawnItem(dc, *item, fonts_, dpi_);
}

void TQuickForm::PaintPage(HDC dc, int pageIndex) {
  const TPage& page = pages_.at(pageIndex);
  PaintPageItems(dc, PixelRect(*page.Item), ResolveColor(notebook_->Layout->Color), page.Stacking, fonts_, dpi_);
}

// Paints an area of a page (in its pixels) into a memory bitmap first, then
// onto target at target's origin, so a page never flickers.
void TQuickForm::PaintPageBuffered(HDC target, TPage& page, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  UniqueMemoryDc memory(CreateCompatibleDC(target));
  UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
  if (!memory || !bitmap) {
    // No memory for a buffer: the page goes straight onto target.
    POINT origin;
    OffsetViewportOrgEx(target, -area.left, -area.top, &origin);
    PaintPage(target, page.Item->PageIndex);
    SetViewportOrgEx(target, origin.x, origin.y, nullptr);
    return;
  }
  TSelectedObject selected(memory.Get(), bitmap.Get());
  SetViewportOrgEx(memory.Get(), -area.left, -area.top, nullptr);
  PaintPage(memory.Get(), page.Item->PageIndex);
  SetViewportOrgEx(memory.Get(), 0, 0, nullptr);
  BitBlt(target, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

void TQuickForm::RepaintPage(const TPage& page, const RECT* layoutArea) {
  if (!page.Item->Window) return;
  const RECT area = layoutArea ? ScaleRect(*layoutArea, dpi_) : RECT{};
  // The windows of the page's texts show the page beneath them: they repaint with it.
  RedrawWindow(page.Item->Window, layoutArea ? &area : nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace quickintro
