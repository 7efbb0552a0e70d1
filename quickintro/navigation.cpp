#include "quickintro/navigation.h"

namespace quickintro {

void TWizardNavigation::Settle(bool firstRunMode, int notebookPageCount) {
  firstRunMode_ = firstRunMode;
  shownPageCount_ = notebookPageCount;
  lastPageIndex_ = shownPageCount_ - 1;
  if (!firstRunMode_) {
    // "Select Tray" and the last page, "Critical Days", are not shown.
    shownPageCount_ -= 2;
    lastPageIndex_ -= 1;
  }
}

TNavigationStep TWizardNavigation::Next() {
  TNavigationStep step;
  if (pageIndex_ < lastPageIndex_) step.PagesShown.push_back(++pageIndex_);
  if (!firstRunMode_ && pageIndex_ == kSelectTrayPage) step.PagesShown.push_back(++pageIndex_);
  step.TargetPage = pageIndex_;
  step.BackEnabled = true;
  bool atLast = pageIndex_ == lastPageIndex_;
  step.NextEnabled = !atLast;
  step.Focus = atLast ? ftBackBtn : ftUnchanged;
  return step;
}

TNavigationStep TWizardNavigation::Back() {
  TNavigationStep step;
  if (pageIndex_ > 0) step.PagesShown.push_back(--pageIndex_);
  if (!firstRunMode_ && pageIndex_ == kSelectTrayPage) step.PagesShown.push_back(--pageIndex_);
  step.TargetPage = pageIndex_;
  step.NextEnabled = true;
  bool atFirst = pageIndex_ == 0;
  step.BackEnabled = !atFirst;
  step.Focus = atFirst ? ftNextBtn : ftUnchanged;
  return step;
}

int TWizardNavigation::ShownPageNumber(int pageIndex) const {
  if (!firstRunMode_ && pageIndex > kSelectTrayPage) return pageIndex;
  return pageIndex + 1;
}

std::string TWizardNavigation::Caption(int pageIndex) const {
  return "Quick Introduction to Zaradada Clock " + std::to_string(ShownPageNumber(pageIndex)) + "/" +
         std::to_string(shownPageCount_);
}

}  // namespace quickintro
