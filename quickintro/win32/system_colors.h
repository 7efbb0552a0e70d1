#pragma once
// The wizard's colour values (quickintro/gif/color_value.h) as GDI colours,
// for the items and for transparent drawing alike.
#include <windows.h>

#include <cstdint>

#include "quickintro/gif/color_value.h"

namespace quickintro {

// A system colour is resolved to its red, green and blue.
inline COLORREF ResolveColor(std::uint32_t color) {
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0x00FFFFFF);
}

}  // namespace quickintro
