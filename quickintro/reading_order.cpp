#include "quickintro/reading_order.h"

#include <algorithm>
#include <iterator>

namespace quickintro {
namespace {

bool ShareARow(const TLayoutItem& first, const TLayoutItem& other) {
  const int overlap = std::min(first.Top + first.Height, other.Top + other.Height) - std::max(first.Top, other.Top);
  return 2 * overlap >= std::min(first.Height, other.Height);
}

// Rows from top to bottom, each opened by its topmost item; an item joins
// the row it shares with that item.
std::vector<int> RowsInOrder(const TFormLayout& layout, std::vector<int> items) {
  const auto item = [&](int index) -> const TLayoutItem& { return layout.Items[static_cast<size_t>(index)]; };
  std::stable_sort(items.begin(), items.end(), [&](int a, int b) { return item(a).Top < item(b).Top; });
  std::vector<int> ordered;
  for (auto rowStart = items.begin(); rowStart != items.end();) {
    auto rowEnd = std::stable_partition(
        rowStart + 1, items.end(), [&](int index) { return ShareARow(item(*rowStart), item(index)); });
    std::stable_sort(rowStart, rowEnd, [&](int a, int b) { return item(a).Left < item(b).Left; });
    ordered.insert(ordered.end(), rowStart, rowEnd);
    rowStart = rowEnd;
  }
  return ordered;
}

}  // namespace

std::vector<int> ReadingOrder(const TFormLayout& layout, std::vector<int> items) {
  std::vector<int> ordered = RowsInOrder(layout, std::move(items));
  const auto tabbed = [&](int index) { return layout.Items[static_cast<size_t>(index)].TabOrder >= 0; };
  std::vector<int> inTabOrder;
  std::copy_if(ordered.begin(), ordered.end(), std::back_inserter(inTabOrder), tabbed);
  std::stable_sort(inTabOrder.begin(), inTabOrder.end(), [&](int a, int b) {
    return layout.Items[static_cast<size_t>(a)].TabOrder < layout.Items[static_cast<size_t>(b)].TabOrder;
  });
  auto next = inTabOrder.begin();
  for (int& index : ordered)
    if (tabbed(index)) index = *next++;
  return ordered;
}

}  // namespace quickintro
