#include "quickintro/win32/quick_form.h"

#include <algorithm>

#include "quickintro/icon_file.h"
#include "quickintro/reading_order.h"
#include "quickintro/win32/display_dpi.h"
#include "quickintro/win32/system_colors.h"

namespace quickintro {
namespace {

constexpr const char* kFormClass = "TQuickForm";
constexpr const char* kTaskbarClass = "QuickIntroduction";
constexpr const char* kNotebookClass = "TNotebook";
constexpr const char* kPageClass = "TPage";
constexpr int kFirstControlId = 100;
constexpr int kIconSize = 32;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

RECT BoundsOf(const TLayoutItem& item) {
  return RECT{item.Left, item.Top, item.Left + item.Width, item.Top + item.Height};
}

void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, name, &existing)) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  if (!RegisterClassExA(&windowClass)) throw std::runtime_error(std::string("Cannot register the window class ") + name);
}

// Consecutive radio buttons of one parent form a group, within which the
// arrow keys move the focus; every other window starts a group of its own,
// so the arrow keys neither leave the group nor enter it.
DWORD GroupStyle(const TFormItem& item, const TFormItem* previousWindow) {
  bool continues = item.Kind() == ikRadioButton && previousWindow && previousWindow->Kind() == ikRadioButton;
  return continues ? 0 : WS_GROUP;
}

HWND CheckedWindow(HWND window, const std::string& name) {
  if (!window) throw std::runtime_error("Cannot create the window of " + name);
  return window;
}

}  // namespace

TFormLayout LoadLayoutResource(HINSTANCE instance) {
  HRSRC resource = FindResourceA(instance, "TQUICKFORM", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw ELayoutError("the program has no window layout");
  auto bytes = static_cast<const uint8_t*>(data);
  return ReadFormLayout(std::span<const uint8_t>(bytes, SizeofResource(instance, resource)));
}

TQuickForm::TQuickForm(HINSTANCE instance, TFormLayout layout, TQuickFormOptions options)
    : instance_(instance), layout_(std::move(layout)), options_(std::move(options)) {
  if (!options_.Registry) {
    ownRegistry_ = std::make_unique<TWin32RegistryWriter>();
    options_.Registry = ownRegistry_.get();
  }
  RegisterClasses();
  CreateItems();
  CheckBindings();
  FindRequiredItems();
  // No window may outlive the object its messages reach: when a step below
  // fails, the windows made so far go before the failure passes on.
  struct TWindowsUnlessMade {
    TQuickForm& Form;
    bool Made = false;
    ~TWindowsUnlessMade() {
      if (!Made) Form.DestroyOwnWindow();
    }
  } windows{*this};
  CreateTaskbarWindow();
  CreateFormWindow();
  CreateChildWindows(0);
  SetWindowIcon();
  RunEvent(*items_[0], "OnCreate");
  windows.Made = true;
}

TQuickForm::~TQuickForm() { DestroyOwnWindow(); }

void TQuickForm::DestroyOwnWindow() {
  if (hwnd_) {
    options_.QuitOnDestroy = false;
    DestroyWindow(hwnd_);
  }
  taskbarWindow_.Reset(nullptr);
}

void TQuickForm::RegisterClasses() {
  RegisterWindowClass(instance_, kTaskbarClass, TaskbarProc);
  RegisterWindowClass(instance_, kFormClass, FormProc);
  RegisterWindowClass(instance_, kNotebookClass, NotebookProc);
  RegisterWindowClass(instance_, kPageClass, PageProc);
}

void TQuickForm::CreateItems() {
  for (size_t i = 0; i < layout_.Items.size(); ++i) {
    const TLayoutItem& source = layout_.Items[i];
    auto item = std::make_unique<TFormItem>();
    item->Layout = &source;
    item->Bounds = BoundsOf(source);
    item->Visible = source.Has(ifVisible);
    item->Checked = source.Has(ifChecked);
    if (source.Has(ifCancel)) item->ControlId = IDCANCEL;
    else item->ControlId = kFirstControlId + static_cast<int>(i);
    if (source.Kind == ikImage && source.HasPicture) item->Graphic = CreateGraphic(source.Picture);
    items_.push_back(std::move(item));
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    TFormItem& item = *items_[i];
    int parent = item.Layout->Parent;
    if (item.Kind() == ikPage) {
      item.PageIndex = static_cast<int>(pages_.size());
      item.Bounds = RECT{0, 0, items_[parent]->Layout->Width, items_[parent]->Layout->Height};
      item.Visible = false;
      pages_.push_back(TPage{&item, {}});
    } else if (item.IsDrawn() && parent >= 0 && items_[parent]->Kind() == ikPage) {
      pages_[items_[parent]->PageIndex].Stacking.push_back(&item);
    }
  }
}

void TQuickForm::CheckBindings() const {
  for (const auto& item : items_)
    for (const TEventBinding& binding : item->Layout->Bindings)
      if (!FindHandler(binding.Handler))
        throw ELayoutError("the layout binds " + item->Name() + "." + binding.Event + " to an unknown handler " +
                           binding.Handler);
}

TFormItem& TQuickForm::Require(std::string_view name) {
  TFormItem* item = Find(name);
  if (!item) throw ELayoutError("the layout has no item " + std::string(name));
  return *item;
}

void TQuickForm::FindRequiredItems() {
  notebook_ = &Require("Notebook");
  backBtn_ = &Require("BackBtn");
  nextBtn_ = &Require("NextBtn");
  closeButton_ = &Require("CloseButton");
  mainBkg_ = &Require("MainBkg");
  trBevel_ = &Require("TrBevel");
  dBevel_ = &Require("DBevel");
  uiTrayClock_ = &Require("uiTrayClock");
  uiDesktopClock_ = &Require("uiDesktopClock");
  if (pages_.empty()) throw ELayoutError("the notebook has no pages");
}

// The taskbar shows an unowned window; a window of no size, titled with the
// application title, stands there for the program, and the wizard's window,
// which it owns, keeps its numbered caption off the taskbar.
void TQuickForm::CreateTaskbarWindow() {
  const int left = GetSystemMetrics(SM_CXSCREEN) / 2, top = GetSystemMetrics(SM_CYSCREEN) / 2;
  taskbarWindow_.Reset(CheckedWindow(CreateWindowExA(0, kTaskbarClass, kApplicationTitle,
                                                     WS_POPUP | WS_CAPTION | WS_SYSMENU, left, top, 0, 0, nullptr,
                                                     nullptr, instance_, this),
                                     kApplicationTitle));
}

// The window's rectangle at dpi: the layout's client area scaled, with the
// frame and caption Windows draws at that scale; centred on the screen where
// the layout asks for it, else where Windows places it (CW_USEDEFAULT).
RECT TQuickForm::FormWindowRect(int dpi) const {
  const TLayoutItem& form = *items_[0]->Layout;
  RECT frame{0, 0, ScaleToDpi(form.Width, dpi), ScaleToDpi(form.Height, dpi)};
  AdjustWindowRectForDpi(frame, kFormStyle, form.Has(ifTopmost) ? WS_EX_TOPMOST : 0, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  if (!form.Has(ifScreenCenter)) return RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + width, CW_USEDEFAULT + height};
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return RECT{left, top, left + width, top + height};
}

// The window opens on the monitor at the middle of the screen, laid out for
// that monitor's scale; once it exists, Windows tells the scale it really
// has, which wins.
void TQuickForm::CreateFormWindow() {
  const TLayoutItem& form = *items_[0]->Layout;
  dpi_ = DpiAtPoint({GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2});
  const RECT frame = FormWindowRect(dpi_);
  hwnd_ = CheckedWindow(CreateWindowExA(form.Has(ifTopmost) ? WS_EX_TOPMOST : 0, kFormClass, form.Text.c_str(),
                                        kFormStyle, frame.left, frame.top, frame.right - frame.left,
                                        frame.bottom - frame.top, taskbarWindow_.Get(), nullptr, instance_, this),
                        form.Name);
  items_[0]->Window = hwnd_;
  const int dpi = DpiOfWindow(hwnd_);
  if (dpi != dpi_) ApplyDpi(dpi);
}

// Windows are made in reading order, which screen readers follow; the tab
// stops keep the keyboard's order among themselves (reading_order.h).
void TQuickForm::CreateChildWindows(int parent) {
  std::vector<int> children;
  for (int child : layout_.ChildrenOf(parent)) {
    const TFormItem& item = *items_[child];
    if (item.IsControl() || item.HoldsText() || item.Kind() == ikNotebook || item.Kind() == ikPage)
      children.push_back(child);
  }
  HWND parentWindow = items_[parent]->Window;
  const TFormItem* previousWindow = nullptr;
  for (int child : ReadingOrder(layout_, std::move(children))) {
    TFormItem& item = *items_[child];
    if (item.IsControl()) CreateControl(item, parentWindow, GroupStyle(item, previousWindow));
    if (item.HoldsText()) CreateTextWindow(item, parentWindow, GroupStyle(item, previousWindow));
    if (item.Kind() == ikNotebook || item.Kind() == ikPage) {
      CreatePageWindow(item, parentWindow);
      CreateChildWindows(child);
    }
    previousWindow = &item;
  }
}

// The notebook and its pages hold what they show as their window text (the
// pages' names are the layout's own and never shown).
void TQuickForm::CreatePageWindow(TFormItem& item, HWND parent) {
  bool notebook = item.Kind() == ikNotebook;
  DWORD style = WS_CHILD | WS_GROUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (item.Visible ? WS_VISIBLE : 0);
  const RECT r = PixelRect(item);
  item.Window = CheckedWindow(CreateWindowExA(WS_EX_CONTROLPARENT, notebook ? kNotebookClass : kPageClass,
                                              item.Layout->Text.c_str(), style, r.left, r.top, r.right - r.left,
                                              r.bottom - r.top, parent, nullptr, instance_, this),
                              item.Name());
}

// A drawn item's text in a window of its own, where screen readers find it:
// a static control owner-drawn by the page, which paints there what it
// paints everywhere, and which lets the mouse through to the page.
void TQuickForm::CreateTextWindow(TFormItem& item, HWND parent, DWORD groupStyle) {
  DWORD style = WS_CHILD | groupStyle | SS_OWNERDRAW | SS_NOPREFIX | (item.Visible ? WS_VISIBLE : 0);
  const RECT r = PixelRect(item);
  item.Window = CheckedWindow(
      CreateWindowExA(0, "STATIC", item.Layout->Text.c_str(), style, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.ControlId)),
                      instance_, nullptr),
      item.Name());
}

void TQuickForm::CreateControl(TFormItem& item, HWND parent, DWORD groupStyle) {
  const TLayoutItem& layout = *item.Layout;
  DWORD style = WS_CHILD | groupStyle;
  if (item.Kind() == ikButton) style |= layout.Has(ifDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  else style |= BS_RADIOBUTTON;
  if (item.Visible) style |= WS_VISIBLE;
  if (!layout.Has(ifEnabled)) style |= WS_DISABLED;
  if (layout.Has(ifTabStop)) style |= WS_TABSTOP;
  const RECT r = PixelRect(item);
  item.Window = CheckedWindow(
      CreateWindowExA(0, "BUTTON", layout.Text.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.ControlId)), instance_, nullptr),
      item.Name());
  SendMessageA(item.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(item)), FALSE);
  if (item.Checked) SendMessageA(item.Window, BM_SETCHECK, BST_CHECKED, 0);
  if (layout.Color != clNone) item.Background.Reset(CreateSolidBrush(ResolveColor(layout.Color)));
}

void TQuickForm::SetWindowIcon() {
  const TLayoutItem& form = *items_[0]->Layout;
  if (!form.HasPicture || form.Picture.ClassName != "TIcon") return;
  std::optional<TIconImage> image = FindIconImage(*form.Picture.Data, kIconSize);
  if (!image) return;
  // CreateIconFromResourceEx reads but does not write the bits.
  icon_.Reset(CreateIconFromResourceEx(const_cast<BYTE*>(image->Bits.data()), static_cast<DWORD>(image->Bits.size()),
                                       TRUE, 0x00030000, image->Width, image->Height, LR_DEFAULTCOLOR));
  if (!icon_) return;
  for (HWND window : {hwnd_, taskbarWindow_.Get()}) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Get()));
  }
}

void TQuickForm::Show() {
  RunEvent(*items_[0], "OnShow");
  ShowWindow(taskbarWindow_.Get(), SW_SHOWNA);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  // The first enabled button in the tab order takes the focus.
  for (TFormItem* button : {backBtn_, nextBtn_, closeButton_}) {
    if (IsWindowEnabled(button->Window)) {
      savedFocus_ = button->Window;
      SetFocus(button->Window);
      break;
    }
  }
}

RECT TQuickForm::PixelRect(const TFormItem& item) const { return ScaleRect(ItemRect(item), dpi_); }

HFONT TQuickForm::FontOf(const TFormItem& item) { return fonts_.Get(item.Layout->Font, dpi_); }

void TQuickForm::ApplyDpi(int dpi, const RECT* windowRect) {
  dpi_ = dpi;
  RECT frame = FormWindowRect(dpi);
  if (windowRect) {
    frame = *windowRect;
  } else if (hwnd_) {
    // Without a suggestion the window keeps its middle.
    RECT now;
    GetWindowRect(hwnd_, &now);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    frame.left = (now.left + now.right - width) / 2;
    frame.top = (now.top + now.bottom - height) / 2;
    frame.right = frame.left + width;
    frame.bottom = frame.top + height;
  }
  SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceChildWindows();
  fonts_.KeepOnly(dpi);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TQuickForm::PlaceChildWindows() {
  for (auto& item : items_) {
    if (!item->Window || item->Window == hwnd_) continue;
    const RECT r = PixelRect(*item);
    SetWindowPos(item->Window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (item->IsControl()) SendMessageA(item->Window, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(*item)), FALSE);
  }
}

bool TQuickForm::TranslateDialogMessage(MSG& message) {
  if (!hwnd_ || !IsDialogMessageA(hwnd_, &message)) return false;
  // The arrow keys move the focus within the clock choice but check nothing;
  // the choice follows the focus, as in any dialog's group of radio buttons.
  if (message.message == WM_KEYDOWN) CheckFocusedRadio();
  return true;
}

}  // namespace quickintro
