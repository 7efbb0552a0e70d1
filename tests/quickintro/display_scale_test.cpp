// The layout at other scales: values rounded as Windows rounds them, items
// that touch kept touching, and the fonts asked for at each scale, whose
// lines never take more room than the layout's boxes give.
#include <gtest/gtest.h>

#include "quickintro/display_scale.h"

namespace quickintro {
namespace {

TEST(DisplayScale, ValuesRoundHalfAwayFromZeroAsMulDivDoes) {
  const struct {
    int Value, Dpi, Expected;
  } kCases[] = {
      {427, 96, 427}, {427, 144, 641}, {272, 144, 408}, {427, 120, 534}, {427, 192, 854},
      {1, 120, 1},    {1, 144, 2},     {-2, 144, -3},   {-3, 144, -5},   {-6, 120, -8},
      {0, 192, 0},    {13, 72, 10},    {32767, 480, 163835},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(ScaleToDpi(c.Value, c.Dpi), c.Expected) << c.Value << " at " << c.Dpi;
}

// Edges are scaled one by one: what touches at 96 dpi touches at every
// scale, and no width strays more than a pixel from the exact one.
TEST(DisplayScale, NeighboursStayNeighbours) {
  for (int dpi = 96; dpi <= 480; dpi += 6) {
    for (int left = -10; left < 40; ++left) {
      const TEdges first = ScaleEdges({left, 0, left + 7, 3}, dpi);
      const TEdges second = ScaleEdges({left + 7, 3, left + 20, 5}, dpi);
      ASSERT_EQ(first.Right, second.Left) << "at " << dpi;
      ASSERT_EQ(first.Bottom, second.Top) << "at " << dpi;
      ASSERT_NEAR(first.Right - first.Left, 7.0 * dpi / 96, 1.0) << "at " << dpi;
    }
  }
}

// MS Sans Serif comes in raster sizes only: the layout's 11- and 12-pixel
// fonts get its 8-point size (13-pixel lines), 13 pixels its 10-point one.
TEST(DisplayScale, DesignLinesAreThoseOfTheRasterSizes) {
  const struct {
    const char* Face;
    int Height, LineHeight;
  } kCases[] = {
      {"MS Sans Serif", 8, 13}, {"MS Sans Serif", 12, 13}, {"MS Sans Serif", 13, 16},
      {"MS Sans Serif", 40, 37}, {"Tahoma", 20, 24},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(DesignLineHeight({c.Face, c.Height, 0, 0}), c.LineHeight) << c.Face << " " << c.Height;
}

TEST(DisplayScale, FontsAskedForAtEachScale) {
  const TLayoutFont page{"MS Sans Serif", 12, fsBold, 0}, heading{"MS Sans Serif", 13, fsBold, 0xFFFFFF};
  const std::vector<std::string> layoutFirst = {"MS Sans Serif", "Microsoft Sans Serif", "Tahoma", "Arial"};
  const std::vector<std::string> outline = {"Microsoft Sans Serif", "Tahoma", "Arial"};
  const struct {
    const char* What;
    TLayoutFont Font;
    int Dpi;
    TFontRequest Expected;
  } kCases[] = {
      {"page font as the layout names it", page, 96, {layoutFirst, -12}},
      {"heading as the layout names it", heading, 96, {layoutFirst, -13}},
      {"page font at 125 %", page, 120, {outline, 16}},
      {"heading at 150 %", heading, 144, {outline, 24}},
      {"another face keeps its name first", {"Tahoma", 12, 0, 0}, 144, {{"Tahoma", "Microsoft Sans Serif", "Arial"}, 21}},
  };
  for (const auto& c : kCases) {
    const TFontRequest request = FontRequestAt(c.Font, c.Dpi);
    EXPECT_EQ(request.Faces, c.Expected.Faces) << c.What;
    EXPECT_EQ(request.Height, c.Expected.Height) << c.What;
  }
}

// A label of n lines got n design lines at 96 dpi; at any scale its lines
// fit in its box scaled.
TEST(DisplayScale, ScaledLinesFitTheScaledBoxes) {
  for (const TLayoutFont& font : {TLayoutFont{"MS Sans Serif", 12, fsBold, 0}, TLayoutFont{"MS Sans Serif", 13, 0, 0}})
    for (int dpi = 97; dpi <= 480; ++dpi)
      for (int lines = 1; lines <= 6; ++lines)
        ASSERT_LE(lines * FontRequestAt(font, dpi).Height, ScaleToDpi(lines * DesignLineHeight(font), dpi))
            << lines << " lines at " << dpi;
}

}  // namespace
}  // namespace quickintro
