#pragma once
// The wizard's page navigation: the mode, the page counts, where Next and Back
// lead, which buttons are enabled and where the focus goes, and the numbered
// window caption. Platform-free; the window applies what it decides.
#include <string>
#include <vector>

namespace quickintro {

// In normal mode the page "Select Tray" is skipped and "Critical Days" is
// never reached.
constexpr int kSelectTrayPage = 1;

enum TFocusTarget { ftUnchanged, ftBackBtn, ftNextBtn };

// What one press of Next or Back does. The window shows each page of
// PagesShown in turn (a skip over "Select Tray" shows two), then sets the
// buttons: after Next it enables BackBtn, focuses first and disables NextBtn
// second; after Back it enables NextBtn, disables BackBtn first and focuses
// second, so the focus never rests on a disabled button.
struct TNavigationStep {
  int TargetPage = 0;            // the page showing afterwards
  std::vector<int> PagesShown;   // page index after each change, in order
  bool BackEnabled = false;
  bool NextEnabled = false;
  TFocusTarget Focus = ftUnchanged;
};

class TWizardNavigation {
 public:
  // Settles the mode and the page counts from the notebook's page count; the
  // page index is left as it is.
  void Settle(bool firstRunMode, int notebookPageCount);

  bool FirstRunMode() const { return firstRunMode_; }
  int ShownPageCount() const { return shownPageCount_; }
  int LastPageIndex() const { return lastPageIndex_; }
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int pageIndex) { pageIndex_ = pageIndex; }

  // Moves and tells the window what to show and how to set the buttons.
  TNavigationStep Next();
  TNavigationStep Back();

  // The page's number as counted in the caption (1-based, "Select Tray" not
  // counted in normal mode).
  int ShownPageNumber(int pageIndex) const;
  // "Quick Introduction to Zaradada Clock n/m" for a page.
  std::string Caption(int pageIndex) const;

 private:
  bool firstRunMode_ = false;
  int shownPageCount_ = 0;
  int lastPageIndex_ = 0;
  int pageIndex_ = 0;
};

}  // namespace quickintro
