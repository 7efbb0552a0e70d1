// The navigation tables of both modes: captions, where Next and Back lead,
// button enabling and focus, and the pages shown on the way.
#include <gtest/gtest.h>

#include "navigation.h"

namespace quickintro {
namespace {

constexpr int kNone = -1;  // the button is disabled on that page

struct PageRow {
  int Index;
  const char* CaptionNumber;
  int NextTo;
  int BackTo;
};

const PageRow kFirstRunTable[] = {
    {0, "1/8", 1, kNone}, {1, "2/8", 2, 0}, {2, "3/8", 3, 1}, {3, "4/8", 4, 2},
    {4, "5/8", 5, 3},     {5, "6/8", 6, 4}, {6, "7/8", 7, 5}, {7, "8/8", kNone, 6},
};
const PageRow kNormalTable[] = {
    {0, "1/6", 2, kNone}, {2, "2/6", 3, 0}, {3, "3/6", 4, 2},
    {4, "4/6", 5, 3},     {5, "5/6", 6, 4}, {6, "6/6", kNone, 5},
};

WizardNavigation Settled(bool firstRun, int pageIndex = 0) {
  WizardNavigation navigation;
  navigation.Settle(firstRun, 8);
  navigation.SetPageIndex(pageIndex);
  return navigation;
}

std::string Caption(const char* number) { return std::string("Quick Introduction to Zaradada Clock ") + number; }

void CheckTable(bool firstRun, const PageRow* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const PageRow& row = rows[i];
    SCOPED_TRACE("page " + std::to_string(row.Index));
    WizardNavigation navigation = Settled(firstRun, row.Index);
    EXPECT_EQ(navigation.Caption(row.Index), Caption(row.CaptionNumber));
    if (row.NextTo != kNone) {
      WizardNavigation moved = navigation;
      NavigationStep step = moved.Next();
      EXPECT_EQ(step.TargetPage, row.NextTo);
      EXPECT_EQ(moved.PageIndex(), row.NextTo);
      EXPECT_TRUE(step.BackEnabled);
      bool reachesEnd = i + 2 == count;
      EXPECT_EQ(step.NextEnabled, !reachesEnd);
      EXPECT_EQ(step.Focus, reachesEnd ? ftBackBtn : ftUnchanged);
    }
    if (row.BackTo != kNone) {
      WizardNavigation moved = navigation;
      NavigationStep step = moved.Back();
      EXPECT_EQ(step.TargetPage, row.BackTo);
      EXPECT_TRUE(step.NextEnabled);
      EXPECT_EQ(step.BackEnabled, row.BackTo != 0);
      EXPECT_EQ(step.Focus, row.BackTo == 0 ? ftNextBtn : ftUnchanged);
    }
  }
}

TEST(Navigation, ModeSettlesThePageCounts) {
  WizardNavigation firstRun = Settled(true);
  EXPECT_TRUE(firstRun.FirstRunMode());
  EXPECT_EQ(firstRun.ShownPageCount(), 8);
  EXPECT_EQ(firstRun.LastPageIndex(), 7);
  WizardNavigation normal = Settled(false);
  EXPECT_FALSE(normal.FirstRunMode());
  EXPECT_EQ(normal.ShownPageCount(), 6);
  EXPECT_EQ(normal.LastPageIndex(), 6);
}

TEST(Navigation, FirstRunTable) { CheckTable(true, kFirstRunTable, std::size(kFirstRunTable)); }

TEST(Navigation, NormalTable) { CheckTable(false, kNormalTable, std::size(kNormalTable)); }

TEST(Navigation, SkippingSelectTrayShowsBothPagesInTurn) {
  WizardNavigation forward = Settled(false, 0);
  EXPECT_EQ(forward.Next().PagesShown, (std::vector<int>{1, 2}));
  WizardNavigation backward = Settled(false, 2);
  EXPECT_EQ(backward.Back().PagesShown, (std::vector<int>{1, 0}));
  WizardNavigation firstRun = Settled(true, 0);
  EXPECT_EQ(firstRun.Next().PagesShown, (std::vector<int>{1}));
}

TEST(Navigation, EndsHoldTheirPage) {
  const struct {
    bool FirstRun;
    int Page;
    bool Forward;
  } ends[] = {{true, 7, true}, {false, 6, true}, {true, 0, false}, {false, 0, false}};
  for (const auto& end : ends) {
    SCOPED_TRACE(std::to_string(end.Page) + (end.FirstRun ? " first-run" : " normal"));
    WizardNavigation navigation = Settled(end.FirstRun, end.Page);
    NavigationStep step = end.Forward ? navigation.Next() : navigation.Back();
    EXPECT_TRUE(step.PagesShown.empty());
    EXPECT_EQ(navigation.PageIndex(), end.Page);
    EXPECT_EQ(step.TargetPage, end.Page);
    EXPECT_EQ(end.Forward ? step.NextEnabled : step.BackEnabled, false);
  }
}

}  // namespace
}  // namespace quickintro
