// The handlers of the wizard window and the state changes they make.
#include <algorithm>

#include "quickintro/command_line.h"
#include "quickintro/win32/quick_form.h"

namespace quickintro {
namespace {

constexpr const char* kCursorResource = "VIDUVIDIVA";

// The items that show the pointing hand: the four that choose the clock mode.
constexpr const char* kClockChoiceItems[] = {"TrayClockImg", "DesktopClockImg", "uiTrayClock", "uiDesktopClock"};

}  // namespace

TQuickForm::Handler TQuickForm::FindHandler(std::string_view name) const {
  static const struct {
    std::string_view Name;
    Handler Method;
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
    if (entry.Name == name) return entry.Method;
  return nullptr;
}

void TQuickForm::RunEvent(const TFormItem& item, std::string_view event) {
  std::string_view name = item.Layout->HandlerFor(event);
  if (!name.empty()) (this->*FindHandler(name))();
}

void TQuickForm::FormCreate() {
  uiTrayClockClick();  // the frames follow the preset choice
  ShowPage(0);
  navigation_.Settle(IsFirstRunCommandLine(options_.CommandLine), static_cast<int>(pages_.size()));
  HCURSOR hand = LoadCursorA(instance_, kCursorResource);
  for (const char* name : kClockChoiceItems) Require(name).Cursor = hand;
}

void TQuickForm::NotebookPageChanged() {
  SetForegroundWindow(hwnd_);
  SetWindowTextA(hwnd_, navigation_.Caption(navigation_.PageIndex()).c_str());
}

void TQuickForm::NextBtnClick() {
  TNavigationStep step = navigation_.Next();
  MoveMainBkgTo(step.TargetPage);
  for (int page : step.PagesShown) ShowPage(page);
  EnableWindow(backBtn_->Window, step.BackEnabled);
  if (step.Focus == ftBackBtn) SetFocus(backBtn_->Window);
  EnableWindow(nextBtn_->Window, step.NextEnabled);
}

void TQuickForm::BackBtnClick() {
  TNavigationStep step = navigation_.Back();
  MoveMainBkgTo(step.TargetPage);
  EnableWindow(nextBtn_->Window, step.NextEnabled);
  for (int page : step.PagesShown) ShowPage(page);
  EnableWindow(backBtn_->Window, step.BackEnabled);
  if (step.Focus == ftNextBtn) SetFocus(nextBtn_->Window);
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
  if (!options_.Registry->SetString(kOptionsKey, kChangeTrayClockValue, choice))
    throw ERegistryException(std::string("Failed to set data for '") + kChangeTrayClockValue + "'");
}

// ---- State changes ----

void TQuickForm::ShowPage(int pageIndex) {
  navigation_.SetPageIndex(pageIndex);
  TFormItem& shown = *pages_[pageIndex].Item;
  shown.Visible = true;
  // The new page goes up before the old one goes, so nothing shows between.
  ShowWindow(shown.Window, SW_SHOWNA);
  for (TPage& page : pages_) {
    if (page.Item == &shown || !page.Item->Visible) continue;
    page.Item->Visible = false;
    ShowWindow(page.Item->Window, SW_HIDE);
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
  SetFocus(IsWindowEnabled(nextBtn_->Window) ? nextBtn_->Window : backBtn_->Window);
}

void TQuickForm::MoveMainBkgTo(int pageIndex) {
  for (TPage& page : pages_) {
    auto found = std::find(page.Stacking.begin(), page.Stacking.end(), mainBkg_);
    if (found == page.Stacking.end()) continue;
    page.Stacking.erase(found);
    RepaintPage(page);
  }
  TPage& target = pages_[pageIndex];
  target.Stacking.insert(target.Stacking.begin(), mainBkg_);
  RepaintPage(target);
}

void TQuickForm::SetItemVisible(TFormItem& item, bool visible) {
  item.Visible = visible;
  if (item.Window) {
    ShowWindow(item.Window, visible ? SW_SHOWNA : SW_HIDE);
    return;
  }
  const TFormItem& parent = *items_[item.Layout->Parent];
  const RECT area = ItemRect(item);
  if (parent.Kind() == ikPage) {
    RepaintPage(pages_[parent.PageIndex], &area);
  } else if (parent.Window) {
    const RECT pixels = PixelRect(item);
    InvalidateRect(parent.Window, &pixels, FALSE);
  }
}

// Checking one radio button unchecks the others of its parent and raises the
// checked one's click event; checking a checked one does nothing. The checked
// button is the group's tab stop.
void TQuickForm::SetRadioChecked(TFormItem& radio) {
  if (radio.Checked) return;
  for (auto& item : items_) {
    if (item->Kind() != ikRadioButton || item->Layout->Parent != radio.Layout->Parent) continue;
    item->Checked = item.get() == &radio;
    SendMessageA(item->Window, BM_SETCHECK, item->Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    LONG_PTR style = GetWindowLongPtrA(item->Window, GWL_STYLE);
    style = item->Checked ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(item->Window, GWL_STYLE, style);
  }
  RunEvent(radio, "OnClick");
}

// ---- Queries ----

TFormItem* TQuickForm::Find(std::string_view name) {
  for (auto& item : items_)
    if (item->Name() == name) return item.get();
  return nullptr;
}

TFormItem* TQuickForm::ItemOfControlId(int id) {
  for (auto& item : items_)
    if (item->IsControl() && item->ControlId == id) return item.get();
  return nullptr;
}

TQuickForm::TPage* TQuickForm::PageOfWindow(HWND window) {
  for (TPage& page : pages_)
    if (page.Item->Window == window) return &page;
  return nullptr;
}

HWND TQuickForm::PageWindow(int pageIndex) const { return pages_.at(pageIndex).Item->Window; }

int TQuickForm::PageHolding(std::string_view name) const {
  for (const TPage& page : pages_)
    for (const TFormItem* item : page.Stacking)
      if (item->Name() == name) return page.Item->PageIndex;
  return -1;
}

const std::vector<TFormItem*>& TQuickForm::PageItems(int pageIndex) const { return pages_.at(pageIndex).Stacking; }

bool TQuickForm::TrayClockChosen() const { return uiTrayClock_->Checked; }

}  // namespace quickintro
