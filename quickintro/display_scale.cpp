#include "quickintro/display_scale.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quickintro {
namespace {

constexpr const char* kRasterFace = "MS Sans Serif";

// The raster sizes of MS Sans Serif at 96 dpi (8, 10, 12, 14, 18 and 24
// points): the height of their letters and of their lines. Windows gives the
// largest size whose letters are no taller than those asked for, so the
// layout's 12-pixel page font is drawn in 13-pixel lines and its 13-pixel
// headings in 16-pixel ones; the label boxes were sized for those lines.
struct TRasterSize {
  int LetterHeight;
  int LineHeight;
};
constexpr std::array<TRasterSize, 6> kRasterSizes = {{{11, 13}, {13, 16}, {16, 20}, {19, 24}, {24, 29}, {32, 37}}};

// Faces with the raster face's design in outline form, which scale to any
// size: the first is its own outline twin, the others the usual stand-ins.
const std::vector<std::string>& OutlineFaces() {
  static const std::vector<std::string> faces = {"Microsoft Sans Serif", "Tahoma", "Arial"};
  return faces;
}

}  // namespace

int ScaleToDpi(int value, int dpi) {
  const std::int64_t product = std::int64_t{value} * dpi;
  const std::int64_t half = kLayoutDpi / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / kLayoutDpi);
}

TEdges ScaleEdges(const TEdges& edges, int dpi) {
  return TEdges{ScaleToDpi(edges.Left, dpi), ScaleToDpi(edges.Top, dpi), ScaleToDpi(edges.Right, dpi),
                ScaleToDpi(edges.Bottom, dpi)};
}

int LineWidthAt(int dpi) {
  const int width = ScaleToDpi(1, dpi);
  return width > 1 ? width : 1;
}

int DesignLineHeight(const TLayoutFont& font) {
  if (font.Face != kRasterFace) return (font.Height * 6 + 2) / 5;
  int lineHeight = kRasterSizes.front().LineHeight;
  for (const TRasterSize& size : kRasterSizes)
    if (size.LetterHeight <= font.Height) lineHeight = size.LineHeight;
  return lineHeight;
}

TFontRequest FontRequestAt(const TLayoutFont& font, int dpi) {
  TFontRequest request;
  const bool asNamed = dpi == kLayoutDpi;
  if (asNamed || font.Face != kRasterFace) request.Faces.push_back(font.Face);
  for (const std::string& face : OutlineFaces())
    if (face != font.Face) request.Faces.push_back(face);
  request.Height = asNamed ? -font.Height : std::max(1, DesignLineHeight(font) * dpi / kLayoutDpi);
  return request;
}

}  // namespace quickintro
