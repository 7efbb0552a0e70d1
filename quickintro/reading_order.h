#pragma once
// The order in which a page's windows are made, which is the order in which
// screen readers walk them and the keyboard moves between them.
// Platform-free.
#include <vector>

#include "quickintro/form_layout.h"

namespace quickintro {

// Sorts items of one parent into reading order: rows from top to bottom,
// each row from left to right. Two items share a row when their heights
// overlap by at least half of the smaller one. Items with a tab order keep
// that order among themselves, in the places their rows give them, since
// the keyboard moves through them in it.
std::vector<int> ReadingOrder(const TFormLayout& layout, std::vector<int> items);

}  // namespace quickintro
