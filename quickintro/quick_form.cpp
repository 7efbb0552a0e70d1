#include "quick_form.h"

#include <windowsx.h>

#include <algorithm>

#include "command_line.h"
#include "icon_file.h"

namespace quickintro {
namespace {

constexpr const char* kFormClass = "TQuickForm";
constexpr const char* kNotebookClass = "TNotebook";
constexpr const char* kPageClass = "TPage";
constexpr const char* kCursorResource = "VIDUVIDIVA";
constexpr int kFirstControlId = 100;
constexpr int kIconSize = 32;

// The items that show the pointing hand: the four that choose the clock mode.
constexpr const char* kClockChoiceItems[] = {"TrayClockImg", "DesktopClockImg", "uiTrayClock", "uiDesktopClock"};

bool IsControl(ItemKind kind) { return kind == ItemKind::Button || kind == ItemKind::RadioButton; }

RECT BoundsOf(const LayoutItem& item) {
  return RECT{item.left, item.top, item.left + item.width, item.top + item.height};
}

TQuickForm* FormOfWindow(HWND hwnd) {
  return reinterpret_cast<TQuickForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Stores the creating form in a window's user data as it is created.
void AttachForm(HWND hwnd, LPARAM lParam) {
  auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
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

HWND CheckedWindow(HWND window, const std::string& name) {
  if (!window) throw std::runtime_error("Cannot create the window of " + name);
  return window;
}

}  // namespace

FormLayout LoadLayoutResource(HINSTANCE instance) {
  HRSRC resource = FindResourceA(instance, "TQUICKFORM", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw ELayoutError("the program has no window layout");
  auto bytes = static_cast<const uint8_t*>(data);
  return ReadFormLayout(std::span<const uint8_t>(bytes, SizeofResource(instance, resource)));
}

TQuickForm::TQuickForm(HINSTANCE instance, FormLayout layout, QuickFormOptions options)
    : instance_(instance), layout_(std::move(layout)), options_(std::move(options)) {
  if (!options_.registry) {
    ownRegistry_ = std::make_unique<Win32RegistryWriter>();
    options_.registry = ownRegistry_.get();
  }
  RegisterClasses();
  CreateItems();
  CheckBindings();
  FindRequiredItems();
  CreateFormWindow();
  CreateChildWindows(0);
  SetWindowIcon();
  RunEvent(*items_[0], "OnCreate");
}

TQuickForm::~TQuickForm() {
  if (hwnd_) {
    options_.quitOnDestroy = false;
    DestroyWindow(hwnd_);
  }
}

void TQuickForm::RegisterClasses() {
  RegisterWindowClass(instance_, kFormClass, FormProc);
  RegisterWindowClass(instance_, kNotebookClass, NotebookProc);
  RegisterWindowClass(instance_, kPageClass, PageProc);
}

void TQuickForm::CreateItems() {
  for (size_t i = 0; i < layout_.items.size(); ++i) {
    const LayoutItem& source = layout_.items[i];
    auto item = std::make_unique<FormItem>();
    item->layout = &source;
    item->bounds = BoundsOf(source);
    item->visible = source.Has(ItemFlag::Visible);
    item->checked = source.Has(ItemFlag::Checked);
    if (source.Has(ItemFlag::Cancel)) item->controlId = IDCANCEL;
    else item->controlId = kFirstControlId + static_cast<int>(i);
    if (source.kind == ItemKind::Image && source.hasPicture) item->graphic = CreateGraphic(source.picture);
    items_.push_back(std::move(item));
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    FormItem& item = *items_[i];
    int parent = item.layout->parent;
    if (item.Kind() == ItemKind::Page) {
      item.pageIndex = static_cast<int>(pages_.size());
      item.bounds = RECT{0, 0, items_[parent]->layout->width, items_[parent]->layout->height};
      item.visible = false;
      pages_.push_back(Page{&item, {}});
    } else if (item.IsDrawn() && parent >= 0 && items_[parent]->Kind() == ItemKind::Page) {
      pages_[items_[parent]->pageIndex].stacking.push_back(&item);
    }
  }
}

void TQuickForm::CheckBindings() const {
  for (const auto& item : items_)
    for (const EventBinding& binding : item->layout->bindings)
      if (!FindHandler(binding.handler))
        throw ELayoutError("the layout binds " + item->Name() + "." + binding.event + " to an unknown handler " +
                           binding.handler);
}

FormItem& TQuickForm::Require(std::string_view name) {
  FormItem* item = Find(name);
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

void TQuickForm::CreateFormWindow() {
  const LayoutItem& form = *items_[0]->layout;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  DWORD exStyle = form.Has(ItemFlag::Topmost) ? WS_EX_TOPMOST : 0;
  RECT frame{0, 0, form.width, form.height};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int left = CW_USEDEFAULT, top = CW_USEDEFAULT;
  if (form.Has(ItemFlag::ScreenCenter)) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  hwnd_ = CheckedWindow(CreateWindowExA(exStyle, kFormClass, form.text.c_str(), style, left, top, width, height,
                                        nullptr, nullptr, instance_, this),
                        form.name);
  items_[0]->window = hwnd_;
}

void TQuickForm::CreateChildWindows(int parent) {
  std::vector<int> children = layout_.ChildrenOf(parent);
  // Windows are created in tab order, which is also the keyboard's order.
  std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
    auto key = [&](int i) { return static_cast<unsigned>(layout_.items[i].tabOrder); };
    return key(a) < key(b);
  });
  HWND parentWindow = items_[parent]->window;
  for (int child : children) {
    FormItem& item = *items_[child];
    if (IsControl(item.Kind())) CreateControl(item, parentWindow);
    if (item.Kind() == ItemKind::Notebook || item.Kind() == ItemKind::Page) {
      CreatePageWindow(item, parentWindow);
      CreateChildWindows(child);
    }
  }
}

void TQuickForm::CreatePageWindow(FormItem& item, HWND parent) {
  bool notebook = item.Kind() == ItemKind::Notebook;
  DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (item.visible ? WS_VISIBLE : 0);
  const RECT& r = item.bounds;
  item.window = CheckedWindow(CreateWindowExA(WS_EX_CONTROLPARENT, notebook ? kNotebookClass : kPageClass,
                                              item.Name().c_str(), style, r.left, r.top, r.right - r.left,
                                              r.bottom - r.top, parent, nullptr, instance_, this),
                              item.Name());
}

void TQuickForm::CreateControl(FormItem& item, HWND parent) {
  const LayoutItem& layout = *item.layout;
  DWORD style = WS_CHILD;
  if (item.Kind() == ItemKind::Button) style |= layout.Has(ItemFlag::Default) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  else style |= BS_RADIOBUTTON;
  if (item.visible) style |= WS_VISIBLE;
  if (!layout.Has(ItemFlag::Enabled)) style |= WS_DISABLED;
  if (layout.Has(ItemFlag::TabStop)) style |= WS_TABSTOP;
  const RECT& r = item.bounds;
  item.window = CheckedWindow(
      CreateWindowExA(0, "BUTTON", layout.text.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.controlId)), instance_, nullptr),
      item.Name());
  SendMessageA(item.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(layout.font)), FALSE);
  if (item.checked) SendMessageA(item.window, BM_SETCHECK, BST_CHECKED, 0);
  if (layout.color != kNoColor) item.background.Reset(CreateSolidBrush(ResolveColor(layout.color)));
}

void TQuickForm::SetWindowIcon() {
  const LayoutItem& form = *items_[0]->layout;
  if (!form.hasPicture || form.picture.className != "TIcon") return;
  std::optional<IconImage> image = FindIconImage(*form.picture.data, kIconSize);
  if (!image) return;
  // CreateIconFromResourceEx reads but does not write the bits.
  icon_.Reset(CreateIconFromResourceEx(const_cast<BYTE*>(image->bits.data()), static_cast<DWORD>(image->bits.size()),
                                       TRUE, 0x00030000, image->width, image->height, LR_DEFAULTCOLOR));
  if (!icon_) return;
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Get()));
}

void TQuickForm::Show() {
  RunEvent(*items_[0], "OnShow");
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  // The first enabled button in the tab order takes the focus.
  for (FormItem* button : {backBtn_, nextBtn_, closeButton_}) {
    if (IsWindowEnabled(button->window)) {
      savedFocus_ = button->window;
      SetFocus(button->window);
      break;
    }
  }
}

bool TQuickForm::TranslateDialogMessage(MSG& message) {
  return hwnd_ && IsDialogMessageA(hwnd_, &message) != FALSE;
}

// ---- Handlers ----

TQuickForm::Handler TQuickForm::FindHandler(std::string_view name) const {
  static const struct {
    std::string_view name;
    Handler handler;
  } kHandlers[] = {
      {"FormCreate", &TQuickForm::FormCreate},
      {"NotebookPageChanged", &TQuickForm::NotebookPageChanged},
      {"NextBtnClick", &TQuickForm::NextBtnClick},
      {"BackBtnClick", &TQuickForm::BackBtnClick},
      {"CloseButtonClick", &TQuickForm::CloseButtonClick},
      {"TrayClockImgClick", &TQuickForm::TrayClockImgClick},
      {"DesktopClockImgClick", &TQuickForm::DesktopClockImgClick},
      {"uiTrayClockClick", &TQuickForm::uiTrayClockClick},
      {"FormClose", &TQuickForm::FormClose},
  };
  for (const auto& entry : kHandlers)
    if (entry.name == name) return entry.handler;
  return nullptr;
}

void TQuickForm::RunEvent(const FormItem& item, std::string_view event) {
  std::string_view name = item.layout->HandlerFor(event);
  if (!name.empty()) (this->*FindHandler(name))();
}

void TQuickForm::FormCreate() {
  uiTrayClockClick();  // the frames follow the preset choice
  ShowPage(0);
  navigation_.Settle(IsFirstRunCommandLine(options_.commandLine), static_cast<int>(pages_.size()));
  HCURSOR hand = LoadCursorA(instance_, kCursorResource);
  for (const char* name : kClockChoiceItems) Require(name).cursor = hand;
}

void TQuickForm::NotebookPageChanged() {
  SetForegroundWindow(hwnd_);
  SetWindowTextA(hwnd_, navigation_.Caption(navigation_.PageIndex()).c_str());
}

void TQuickForm::NextBtnClick() {
  NavigationStep step = navigation_.Next();
  MoveMainBkgTo(step.targetPage);
  for (int page : step.pagesShown) ShowPage(page);
  EnableWindow(backBtn_->window, step.backEnabled);
  if (step.focus == FocusTarget::BackBtn) SetFocus(backBtn_->window);
  EnableWindow(nextBtn_->window, step.nextEnabled);
}

void TQuickForm::BackBtnClick() {
  NavigationStep step = navigation_.Back();
  MoveMainBkgTo(step.targetPage);
  EnableWindow(nextBtn_->window, step.nextEnabled);
  for (int page : step.pagesShown) ShowPage(page);
  EnableWindow(backBtn_->window, step.backEnabled);
  if (step.focus == FocusTarget::NextBtn) SetFocus(nextBtn_->window);
}

void TQuickForm::CloseButtonClick() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TQuickForm::TrayClockImgClick() { SetRadioChecked(*uiTrayClock_); }

void TQuickForm::DesktopClockImgClick() { SetRadioChecked(*uiDesktopClock_); }

void TQuickForm::uiTrayClockClick() {
  bool tray = TrayClockChosen();
  SetItemVisible(*trBevel_, tray);
  SetItemVisible(*dBevel_, !tray);
}

void TQuickForm::FormClose() {
  if (!navigation_.FirstRunMode()) return;
  const char* choice = TrayClockChosen() ? "1" : "0";
  if (!options_.registry->SetString(kOptionsKey, kChangeTrayClockValue, choice))
    throw ERegistryException(std::string("Failed to set data for '") + kChangeTrayClockValue + "'");
}

// ---- State changes ----

void TQuickForm::ShowPage(int pageIndex) {
  navigation_.SetPageIndex(pageIndex);
  FormItem& shown = *pages_[pageIndex].item;
  shown.visible = true;
  // The new page goes up before the old one goes, so nothing shows between.
  ShowWindow(shown.window, SW_SHOWNA);
  for (Page& page : pages_) {
    if (page.item == &shown || !page.item->visible) continue;
    page.item->visible = false;
    ShowWindow(page.item->window, SW_HIDE);
  }
  RunEvent(*notebook_, "OnPageChanged");
}

void TQuickForm::MoveMainBkgTo(int pageIndex) {
  for (Page& page : pages_) {
    auto found = std::find(page.stacking.begin(), page.stacking.end(), mainBkg_);
    if (found == page.stacking.end()) continue;
    page.stacking.erase(found);
    InvalidateRect(page.item->window, nullptr, FALSE);
  }
  Page& target = pages_[pageIndex];
  target.stacking.insert(target.stacking.begin(), mainBkg_);
  InvalidateRect(target.item->window, nullptr, FALSE);
}

void TQuickForm::SetItemVisible(FormItem& item, bool visible) {
  item.visible = visible;
  if (item.window) {
    ShowWindow(item.window, visible ? SW_SHOWNA : SW_HIDE);
    return;
  }
  HWND parent = items_[item.layout->parent]->window;
  RECT rect = ItemRect(item);
  if (parent) InvalidateRect(parent, &rect, FALSE);
}

// Checking one radio button unchecks the others of its parent and raises the
// checked one's click event; checking a checked one does nothing. The checked
// button is the group's tab stop.
void TQuickForm::SetRadioChecked(FormItem& radio) {
  if (radio.checked) return;
  for (auto& item : items_) {
    if (item->Kind() != ItemKind::RadioButton || item->layout->parent != radio.layout->parent) continue;
    item->checked = item.get() == &radio;
    SendMessageA(item->window, BM_SETCHECK, item->checked ? BST_CHECKED : BST_UNCHECKED, 0);
    LONG_PTR style = GetWindowLongPtrA(item->window, GWL_STYLE);
    style = item->checked ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(item->window, GWL_STYLE, style);
  }
  RunEvent(radio, "OnClick");
}

// ---- Queries ----

FormItem* TQuickForm::Find(std::string_view name) {
  for (auto& item : items_)
    if (item->Name() == name) return item.get();
  return nullptr;
}

FormItem* TQuickForm::ItemOfControlId(int id) {
  for (auto& item : items_)
    if (IsControl(item->Kind()) && item->controlId == id) return item.get();
  return nullptr;
}

TQuickForm::Page* TQuickForm::PageOfWindow(HWND window) {
  for (Page& page : pages_)
    if (page.item->window == window) return &page;
  return nullptr;
}

HWND TQuickForm::PageWindow(int pageIndex) const { return pages_.at(pageIndex).item->window; }

int TQuickForm::PageHolding(std::string_view name) const {
  for (const Page& page : pages_)
    for (const FormItem* item : page.stacking)
      if (item->Name() == name) return page.item->pageIndex;
  return -1;
}

const std::vector<FormItem*>& TQuickForm::PageItems(int pageIndex) const { return pages_.at(pageIndex).stacking; }

bool TQuickForm::TrayClockChosen() const { return uiTrayClock_->checked; }

// ---- Messages ----

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
