#pragma once
// The wizard on screens of any scale. The layout's positions, sizes, line
// widths and fonts are pixels at 96 dots per inch; the window scales each at
// the point of use for the dots per inch of its monitor. Platform-free.
#include <string>
#include <vector>

#include "quickintro/form_layout.h"

namespace quickintro {

constexpr int kLayoutDpi = 96;

// A layout value at dpi: value x dpi / 96, rounded half away from zero, as
// Windows' MulDiv rounds.
int ScaleToDpi(int value, int dpi);

// A rectangle by its edges, right and bottom exclusive.
struct TEdges {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TEdges&) const = default;
};

// Each edge scaled on its own, so that items which touch at 96 dpi (the Back
// and Next buttons, a note box and its shadow) still touch and none overlap.
TEdges ScaleEdges(const TEdges& edges, int dpi);

// The width of the layout's 1-pixel lines (outlines, frames): never thinner
// than a pixel.
int LineWidthAt(int dpi);

// How to ask the system for a layout font at dpi. At 96 dpi the font is asked
// for as the layout names it, by the height of its letters (a negative
// height, in the system's terms). At other scales the raster face the layout
// was drawn with has no matching size, so its outline twin is asked for by
// line height: the line the label boxes were sized for, scaled and rounded
// down, so that no line takes more room than the design gave it. Faces are
// listed in order of preference; the first one installed is taken.
struct TFontRequest {
  std::vector<std::string> Faces;
  int Height = 0;  // < 0: letter height; > 0: line height, in pixels
  bool operator==(const TFontRequest&) const = default;
};
TFontRequest FontRequestAt(const TLayoutFont& font, int dpi);

// The line height a layout font had where the layout was drawn: for MS Sans
// Serif, that of the raster size Windows gives for the height; for another
// face, a fifth more than the letters.
int DesignLineHeight(const TLayoutFont& font);

}  // namespace quickintro
