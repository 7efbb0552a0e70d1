#include "quick_form.h"

#include <algorithm>

#include "icon_file.h"

namespace quickintro {
namespace {

constexpr const char* kFormClass = "TQuickForm";
constexpr const char* kNotebookClass = "TNotebook";
constexpr const char* kPageClass = "TPage";
constexpr int kFirstControlId = 100;
constexpr int kIconSize = 32;


RECT BoundsOf(const LayoutItem& item) {
  return RECT{item.left, item.top, item.left + item.width, item.top + item.height};
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
  try {
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
    if (item.IsControl()) CreateControl(item, parentWindow);
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

}  // namespace quickintro
