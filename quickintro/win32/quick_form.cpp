#include "quickintro/win32/quick_form.h"

#include <algorithm>

#include "quickintro/icon_file.h"
#include "quickintro/win32/system_colors.h"

namespace quickintro {
namespace {

constexpr const char* kFormClass = "TQuickForm";
constexpr const char* kTaskbarClass = "QuickIntroduction";
constexpr const char* kNotebookClass = "TNotebook";
constexpr const char* kPageClass = "TPage";
constexpr int kFirstControlId = 100;
constexpr int kIconSize = 32;


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
  try {
    CreateTaskbarWindow();
    CreateFormWindow();
    CreateChildWindows(0);
    SetWindowIcon();
    RunEvent(*items_[0], "OnCreate");
  } catch (...) {
    // No window may outlive the object its messages reach.
    DestroyOwnWindow();
    throw;
  }
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

void TQuickForm::CreateFormWindow() {
  const TLayoutItem& form = *items_[0]->Layout;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  DWORD exStyle = form.Has(ifTopmost) ? WS_EX_TOPMOST : 0;
  RECT frame{0, 0, form.Width, form.Height};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int left = CW_USEDEFAULT, top = CW_USEDEFAULT;
  if (form.Has(ifScreenCenter)) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  hwnd_ = CheckedWindow(CreateWindowExA(exStyle, kFormClass, form.Text.c_str(), style, left, top, width, height,
                                        taskbarWindow_.Get(), nullptr, instance_, this),
                        form.Name);
  items_[0]->Window = hwnd_;
}

void TQuickForm::CreateChildWindows(int parent) {
  std::vector<int> children = layout_.ChildrenOf(parent);
  // Windows are created in tab order, which is also the keyboard's order.
  std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
    auto key = [&](int i) { return static_cast<unsigned>(layout_.Items[i].TabOrder); };
    return key(a) < key(b);
  });
  HWND parentWindow = items_[parent]->Window;
  const TFormItem* previousWindow = nullptr;
  for (int child : children) {
    TFormItem& item = *items_[child];
    if (item.IsControl()) CreateControl(item, parentWindow, GroupStyle(item, previousWindow));
    if (item.Kind() == ikNotebook || item.Kind() == ikPage) {
      CreatePageWindow(item, parentWindow);
      CreateChildWindows(child);
    }
    if (item.Window) previousWindow = &item;
  }
}

void TQuickForm::CreatePageWindow(TFormItem& item, HWND parent) {
  bool notebook = item.Kind() == ikNotebook;
  DWORD style = WS_CHILD | WS_GROUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (item.Visible ? WS_VISIBLE : 0);
  const RECT& r = item.Bounds;
  item.Window = CheckedWindow(CreateWindowExA(WS_EX_CONTROLPARENT, notebook ? kNotebookClass : kPageClass,
                                              item.Name().c_str(), style, r.left, r.top, r.right - r.left,
                                              r.bottom - r.top, parent, nullptr, instance_, this),
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
  const RECT& r = item.Bounds;
  item.Window = CheckedWindow(
      CreateWindowExA(0, "BUTTON", layout.Text.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.ControlId)), instance_, nullptr),
      item.Name());
  SendMessageA(item.Window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(layout.Font)), FALSE);
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

bool TQuickForm::TranslateDialogMessage(MSG& message) {
  if (!hwnd_ || !IsDialogMessageA(hwnd_, &message)) return false;
  // The arrow keys move the focus within the clock choice but check nothing;
  // the choice follows the focus, as in any dialog's group of radio buttons.
  if (message.message == WM_KEYDOWN) CheckFocusedRadio();
  return true;
}

}  // namespace quickintro
