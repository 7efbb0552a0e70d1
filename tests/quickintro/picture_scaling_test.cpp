// Pictures scaled by area: unchanged at their own size, sharp blocks at whole
// multiples, one blended pixel at the edges of fractional ones, transparent
// colours turned into alpha, and nothing out of the spans' bounds.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "quickintro/picture_scaling.h"

namespace quickintro {
namespace {

using TPixels = std::vector<std::uint32_t>;

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGrey = 0xFF808080;  // black and white half and half, rounded up
constexpr std::uint32_t kClear = 0;

TPixels Scaled(const TPixels& source, int width, int height, int targetWidth, int targetHeight) {
  TPixels target(static_cast<size_t>(targetWidth) * targetHeight, 0x12345678);
  ScaleByArea(source, width, height, target, targetWidth, targetHeight);
  return target;
}

// A picture whose every pixel differs, opaque.
TPixels Varied(int width, int height) {
  TPixels pixels;
  for (int i = 0; i < width * height; ++i) pixels.push_back(0xFF000000 | (i * 2654435761u >> 8));
  return pixels;
}

TEST(PictureScaling, OwnSizeLeavesEveryPixel) {
  const TPixels picture = Varied(5, 3);
  EXPECT_EQ(Scaled(picture, 5, 3, 5, 3), picture);
}

TEST(PictureScaling, WholeMultiplesGiveSharpBlocks) {
  const TPixels checker = {kBlack, kWhite, kRed, kWhite, kBlack, kClear};  // 3 x 2
  for (int factor : {2, 3}) {
    SCOPED_TRACE(factor);
    const TPixels big = Scaled(checker, 3, 2, 3 * factor, 2 * factor);
    for (int y = 0; y < 2 * factor; ++y)
      for (int x = 0; x < 3 * factor; ++x)
        ASSERT_EQ(big[y * 3 * factor + x], checker[(y / factor) * 3 + x / factor]) << x << "," << y;
  }
}

// At 150 % a one-pixel line becomes one pixel of its own colour and one
// blended pixel, never two of its colour beside one (as nearest-neighbour
// scaling gives every other line).
TEST(PictureScaling, FractionalScalesBlendOnlyAtEdges) {
  EXPECT_EQ(Scaled({kBlack, kWhite}, 2, 1, 3, 1), (TPixels{kBlack, kGrey, kWhite}));
  EXPECT_EQ(Scaled({kWhite, kBlack, kWhite, kWhite}, 4, 1, 6, 1),
            (TPixels{kWhite, kGrey, kBlack, kWhite, kWhite, kWhite}));
  EXPECT_EQ(Scaled({kBlack, kWhite}, 1, 2, 1, 3), (TPixels{kBlack, kGrey, kWhite}));
  // 125 %: four pixels to five, the blends weighted by the area covered.
  EXPECT_EQ(Scaled({kBlack, kWhite, kBlack, kWhite}, 4, 1, 5, 1),
            (TPixels{kBlack, 0xFFBFBFBF, 0xFF808080, 0xFF404040, kWhite}));
}

TEST(PictureScaling, ShrinkingAveragesTheAreaCovered) {
  EXPECT_EQ(Scaled({kBlack, kWhite, kWhite, kWhite}, 2, 2, 1, 1), (TPixels{0xFFBFBFBF}));
}

TEST(PictureScaling, TransparentColourBecomesAlpha) {
  TPixels pixels = {0x00FF0000, 0x0000FF00, 0x7F0000FF};
  KeyOutColor(pixels, 0x0000FF00);
  EXPECT_EQ(pixels, (TPixels{kRed, kClear, 0xFF0000FF}));
  KeyOutColor(pixels, std::nullopt);
  EXPECT_EQ(pixels, (TPixels{kRed, 0xFF000000, 0xFF0000FF}));
  // The edge of an opaque part over a transparent one comes out half
  // covered, its colour premultiplied.
  EXPECT_EQ(Scaled({kRed, kClear}, 2, 1, 3, 1), (TPixels{kRed, 0x80800000, kClear}));
}

// Premultiplied pixels stay valid (no channel above alpha) at every scale.
TEST(PictureScaling, ColoursNeverExceedTheirAlpha) {
  TPixels picture = Varied(7, 5);
  KeyOutColor(picture, picture[3] & 0xFFFFFF);
  for (int width : {3, 7, 8, 9, 10, 11, 14, 17}) {
    for (int height : {2, 5, 7, 10}) {
      for (std::uint32_t pixel : Scaled(picture, 7, 5, width, height)) {
        const std::uint32_t alpha = pixel >> 24;
        for (int shift : {0, 8, 16}) ASSERT_LE((pixel >> shift) & 0xFF, alpha) << width << "x" << height;
      }
    }
  }
}

TEST(PictureScaling, SizesMustMatchTheSpans) {
  TPixels target(6);
  EXPECT_THROW(ScaleByArea(TPixels(5), 2, 3, target, 3, 2), std::invalid_argument);
  EXPECT_THROW(ScaleByArea(TPixels(6), 2, 3, target, 2, 2), std::invalid_argument);
  EXPECT_THROW(ScaleByArea(TPixels(6), -2, -3, target, 3, 2), std::invalid_argument);
  TPixels nothing;
  EXPECT_NO_THROW(ScaleByArea(TPixels(6), 2, 3, nothing, 0, 5));
  EXPECT_EQ(Scaled({}, 0, 0, 2, 1), (TPixels{kClear, kClear}));
}

}  // namespace
}  // namespace quickintro
