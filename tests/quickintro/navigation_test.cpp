// What the window cannot show: the pages passed on the way over "Select
// Tray", and the ends of both modes. The navigation tables themselves are
// walked in the window (quick_form_test.cpp).
#include <gtest/gtest.h>

#include "quickintro/navigation.h"

namespace quickintro {
namespace {

TWizardNavigation Settled(bool firstRun, int pageIndex = 0) {
  TWizardNavigation navigation;
  navigation.Settle(firstRun, 8);
  navigation.SetPageIndex(pageIndex);
  return navigation;
}

TEST(Navigation, SkippingSelectTrayShowsBothPagesInTurn) {
  TWizardNavigation forward = Settled(false, 0);
  EXPECT_EQ(forward.Next().PagesShown, (std::vector<int>{1, 2}));
  TWizardNavigation backward = Settled(false, 2);
  EXPECT_EQ(backward.Back().PagesShown, (std::vector<int>{1, 0}));
  TWizardNavigation firstRun = Settled(true, 0);
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
    TWizardNavigation navigation = Settled(end.FirstRun, end.Page);
    TNavigationStep step = end.Forward ? navigation.Next() : navigation.Back();
    EXPECT_TRUE(step.PagesShown.empty());
    EXPECT_EQ(navigation.PageIndex(), end.Page);
    EXPECT_EQ(step.TargetPage, end.Page);
    EXPECT_EQ(end.Forward ? step.NextEnabled : step.BackEnabled, false);
  }
}

}  // namespace
}  // namespace quickintro
