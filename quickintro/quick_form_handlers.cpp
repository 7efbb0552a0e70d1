// The handlers of the wizard window and the state changes they make.
#include <algorithm>

#include "command_line.h"
#include "quick_form.h"

namespace quickintro {
namespace {

constexpr const char* kCursorResource = "VIDUVIDIVA";

// The items that show the pointing hand: the four that choose the clock mode.
constexpr const char* kClockChoiceItems[] = {"TrayClockImg", "DesktopClockImg", "uiTrayClock", "uiDesktopClock"};

}  // namespace

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
  KeepKeyboardFocus();
  RunEvent(*notebook_, "OnPageChanged");
}

// A focused control on a page going out of sight leaves the keyboard with
// nothing to act on; the focus goes back to the buttons.
void TQuickForm::KeepKeyboardFocus() {
  if (!hwnd_ || !IsWindowVisible(hwnd_)) return;
  HWND focus = GetFocus();
  if (focus && IsWindowVisible(focus)) return;
  SetFocus(IsWindowEnabled(nextBtn_->window) ? nextBtn_->window : backBtn_->window);
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
    if (item->IsControl() && item->controlId == id) return item.get();
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

}  // namespace quickintro
