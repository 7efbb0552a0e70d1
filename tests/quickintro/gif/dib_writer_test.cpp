// The bitmap file: its layout, computed once in 64 bits and written in one
// place; a frame's file, depth and palette from the colour count, row
// stride, and the frames refused.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/quickintro/gif/gif_pieces.h"
#include "tests/quickintro/gif/support/test_images.h"

namespace quickintro::gif {
namespace {

// The one writer of the bitmap file layout: the headers as the format has
// them.
TEST(BitmapFile, HeadersAsTheFormatHasThem) {
  const std::vector<TDibPaletteEntry> palette = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  const TBitmapLayout layout = PlanBitmapFile(3, 2, 1).value();
  const std::vector<std::uint8_t> expected = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,  // file size 62 + 8, pixels at 54 + 8
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 8, 0, 0, 0,  // 3 x 2, 1 bit, 2 rows of 4 bytes
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // resolutions, colours used and important
      1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(NewBitmapFile(layout, palette), expected);
  EXPECT_EQ(layout.FileSize, expected.size());
}

// Every size in 64 bits, whatever the size of size_t: a row of 2^29 pixels
// at 8 bits is 2^29 bytes, not 0 (the product 2^32 wraps in 32 bits), and a
// file larger than its headers can state has no layout.
TEST(BitmapFile, SizesAreComputedIn64Bits) {
  const struct {
    std::int64_t Width, Height;
    int Bits;
    std::uint64_t Stride, FileSize;  // 0: no layout
  } cases[] = {
      {std::int64_t{1} << 29, 1, 8, std::uint64_t{1} << 29, 1078 + (std::uint64_t{1} << 29)},
      {std::int64_t{1} << 29, 8, 8, 0, 0},  // 2^32 bytes of rows
      {65535, 65535, 8, 65536, 1078 + 65536ull * 65535},
      {65535, 65535, 32, 0, 0},
      {std::int64_t{1} << 31, 1, 1, 0, 0},
      {-1, 1, 8, 0, 0},
      {4, 4, 24, 0, 0},  // a depth the files never have
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Width << " x " << c.Height << " at " << c.Bits << " bits");
    const std::optional<TBitmapLayout> layout = PlanBitmapFile(c.Width, c.Height, c.Bits);
    ASSERT_EQ(layout.has_value(), c.FileSize != 0);
    if (!layout) continue;
    EXPECT_EQ(layout->Stride, c.Stride);
    EXPECT_EQ(layout->FileSize, c.FileSize);
  }
}

struct TLayoutCase {
  int PixelBits, Width, Height;
  std::uint32_t Bits, PaletteEntries, Stride;
};

TEST(DibWriter, WritesHeadersPaletteAndPaddedRows) {
  const TLayoutCase cases[] = {
      {1, 3, 2, 1, 2, 4},     // 2 colours: 1 bit, rows of 4 bytes
      {2, 5, 3, 4, 16, 4},    // 4 colours: 4 bits, 16 entries
      {5, 9, 2, 8, 256, 12},  // 32 colours: 8 bits, 9 pixels in 12 bytes
      {4, 33, 1, 4, 16, 20},
      {1, 33, 3, 1, 2, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.PixelBits << " bits, width " << c.Width);
    const auto pixels = test::NoiseImage(c.Width, c.Height, 1 << c.PixelBits);
    const auto data = test::EncodeFrame(pixels, std::max(2, c.PixelBits));
    const TFrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), c.PixelBits,
                              false};
    const auto frame = test::DecodeThroughDib(data, format);
    const TBitmapLayout& layout = frame.Bitmap.Layout();
    EXPECT_EQ(layout.BitsPerPixel, static_cast<int>(c.Bits));
    EXPECT_EQ(layout.PixelOffset, 54 + 4 * c.PaletteEntries);
    EXPECT_EQ(layout.Stride, c.Stride);
    EXPECT_EQ(frame.Bitmap.File().size(), layout.PixelOffset + c.Stride * c.Height);
    const std::size_t lastEntry = layout.PixelOffset - 4;  // grey unless the table fills the palette
    EXPECT_EQ(frame.Bitmap.File()[lastEntry + 3], (1u << c.PixelBits) == c.PaletteEntries ? 0 : 0x80);
    EXPECT_EQ(frame.Image, pixels);
  }
}

// The failures: a bad colour depth, a frame too large (above 2^26 pixels,
// or above 2^16 with less data than could fill it: refused before its
// bitmap is taken) and bad data.
TEST(DibWriter, RefusesWhatItCannotDecode) {
  const auto few = test::EncodeFrame(test::NoiseImage(4, 4, 4), 2);
  const auto plain = test::EncodeFrame(std::vector<std::uint8_t>(2048 * 1024, 3), 2);  // one colour, well packed
  auto cut = few, size1 = few, size10 = few;
  cut.resize(4);
  size1[0] = 1;
  size10[0] = 10;
  const std::string fewBytes = std::to_string(few.size()) + " bytes";
  const std::string codeSize = "EInvalidGraphicOperation: GIF code size not in range 2 to 9";
  const struct {
    const char* Name;
    int Width, Height, PixelBits;
    std::vector<std::uint8_t> Data;
    std::string Failure;  // empty: decodes
  } cases[] = {
      {"no colour table", 4, 4, 0, few, "EInvalidGraphicOperation: Wrong number of colors; must be a power of 2"},
      {"no data", 4, 4, 2, {}, "EReadError: Stream read error"},
      {"sub-block cut short", 4, 4, 2, cut, "EReadError: Stream read error"},
      {"code size 1", 4, 4, 2, size1, codeSize},
      {"code size 10", 4, 4, 2, size10, codeSize},
      {"code size 9 is accepted", 4, 4, 2, test::EncodeFrame(test::NoiseImage(4, 4, 4), 9), ""},
      {"65535 x 65535", 65535, 65535, 2, few,
       "EInvalidGraphicOperation: GIF frame too large: 65535 x 65535 pixels (the limit is 67108864 pixels)"},
      {"one row past the limit", 8192, 8193, 2, plain,
       "EInvalidGraphicOperation: GIF frame too large: 8192 x 8193 pixels (the limit is 67108864 pixels)"},
      {"1024 x 1024, few bytes", 1024, 1024, 2, few,
       "EInvalidGraphicOperation: GIF frame data too short: " + fewBytes + " cannot fill 1024 x 1024 pixels"},
      {"2^16 pixels, few bytes", 256, 256, 2, few, ""},
      {"2^21 pixels, data that fill them", 2048, 1024, 2, plain, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TFrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), c.PixelBits,
                              false};
    EXPECT_EQ(test::FailureOf([&] { test::DecodeThroughDib(c.Data, format); }), c.Failure);
  }
}

}  // namespace
}  // namespace quickintro::gif
