// The order of a page's windows, which screen readers follow: rows from top
// to bottom and left to right, with the tab stops kept in the keyboard's
// order; on the wizard's own pages and on made-up rows.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "quickintro/form_layout.h"
#include "quickintro/reading_order.h"

namespace quickintro {
namespace {

TFormLayout CompiledLayout() {
  std::ifstream file(QUICKFORM_LAYOUT_FILE, std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
  return ReadFormLayout(bytes);
}

std::vector<std::string> InReadingOrder(const TFormLayout& layout, const std::vector<std::string>& names) {
  std::vector<int> items;
  for (const std::string& name : names) items.push_back(layout.IndexOf(name));
  std::vector<std::string> ordered;
  for (int index : ReadingOrder(layout, items)) ordered.push_back(layout.Items[static_cast<size_t>(index)].Name);
  return ordered;
}

TEST(ReadingOrder, TheWizardsPagesReadFromTopToBottom) {
  const TFormLayout layout = CompiledLayout();
  // The welcome text before the hint below it, whatever their stacking.
  EXPECT_EQ(InReadingOrder(layout, {"Label8", "Label10"}), (std::vector<std::string>{"Label10", "Label8"}));
  // The two clock pictures share a row (a pixel apart in height), then the
  // clock choice in its tab order, then the request below.
  EXPECT_EQ(InReadingOrder(layout, {"Label4", "TrayClockImg", "DesktopClockImg", "uiDesktopClock", "uiTrayClock"}),
            (std::vector<std::string>{"TrayClockImg", "DesktopClockImg", "uiDesktopClock", "uiTrayClock", "Label4"}));
  // The window's buttons lie below the pages but come first by the keyboard.
  EXPECT_EQ(InReadingOrder(layout, {"Notebook", "CloseButton", "NextBtn", "BackBtn"}),
            (std::vector<std::string>{"BackBtn", "NextBtn", "CloseButton", "Notebook"}));
}

TEST(ReadingOrder, RowsNeedHalfOfTheSmallerHeight) {
  TFormLayout layout;
  const auto add = [&](const char* name, int left, int top, int height, int tabOrder = -1) {
    TLayoutItem item;
    item.Name = name;
    item.Left = left;
    item.Top = top;
    item.Width = 10;
    item.Height = height;
    item.TabOrder = tabOrder;
    layout.Items.push_back(item);
  };
  add("right", 50, 0, 20);
  add("left, half over", 0, 10, 20);
  add("below, less than half over", 20, 31, 20);
  // A row of two tab stops and a text: the stops swap into tab order.
  add("tab 1", 0, 60, 10, 1);
  add("text", 20, 60, 10);
  add("tab 0", 40, 62, 10, 0);
  EXPECT_EQ(InReadingOrder(layout, {"right", "left, half over", "below, less than half over", "tab 1", "text", "tab 0"}),
            (std::vector<std::string>{"left, half over", "right", "below, less than half over", "tab 0", "text",
                                      "tab 1"}));
}

}  // namespace
}  // namespace quickintro
