// The bitmap file: its layout, written and read in one place; a frame's file,
// depth and palette from the colour count, row stride, and what is left after
// each failure.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/quickintro/gif/decode_helpers.h"
#include "quickintro/gif/graphic_error.h"
#include "tests/quickintro/gif/support/lzw_test_encoder.h"
#include "tests/quickintro/gif/support/test_images.h"

namespace quickintro::gif {
namespace {

// The one writer and reader of the bitmap file layout: the headers as the
// format has them, and files a picture must not be made from.
TEST(BitmapFile, HeadersAsTheFormatHasThem) {
  const std::vector<TDibPaletteEntry> palette = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  const std::vector<std::uint8_t> file = NewBitmapFile(3, 2, 1, palette);
  const std::vector<std::uint8_t> expected = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,  // file size 62 + 8, pixels at 54 + 8
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 8, 0, 0, 0,  // 3 x 2, 1 bit, 2 rows of 4 bytes
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // resolutions, colours used and important
      1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(file, expected);
}

TEST(BitmapFile, RefusesWhatIsNoWholeUncompressedBitmap) {
  const std::vector<std::uint8_t> good = NewBitmapFile(5, 3, 8, std::vector<TDibPaletteEntry>(256));
  const auto with = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> file = good;
    file[at] = value;
    return file;
  };
  const struct {
    const char* Name;
    std::vector<std::uint8_t> File;
    bool Readable;
  } cases[] = {
      {"as written", good, true},
      {"a row missing", std::vector<std::uint8_t>(good.begin(), good.end() - 1), false},
      {"headers cut", std::vector<std::uint8_t>(good.begin(), good.begin() + 53), false},
      {"not BM", with(0, 'X'), false},
      {"compressed", with(30, 1), false},
      {"16 bits per pixel", with(28, 16), false},
      {"negative width", with(21, 0xFF), false},
      {"pixels beyond the file", with(12, 1), false},
      {"information header too short", with(14, 12), false},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadBitmapLayout(c.File).has_value(), c.Readable) << c.Name;
  std::vector<std::uint8_t> topDown = good;  // height -1: one row, stored top-down
  for (std::size_t i = 22; i < 26; ++i) topDown[i] = 0xFF;
  const TBitmapLayout layout = ReadBitmapLayout(topDown).value();
  EXPECT_TRUE(layout.TopDown);
  EXPECT_EQ(layout.Height, 1);
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
    const TBitmapLayout layout = ReadBitmapLayout(frame.File).value();
    EXPECT_EQ(layout.BitsPerPixel, static_cast<int>(c.Bits));
    EXPECT_EQ(layout.PixelOffset, 54 + 4 * c.PaletteEntries);
    EXPECT_EQ(layout.Stride, c.Stride);
    EXPECT_EQ(frame.File.size(), layout.PixelOffset + c.Stride * c.Height);
    const std::size_t lastEntry = layout.PixelOffset - 4;  // grey unless the table fills the palette
    EXPECT_EQ(frame.File[lastEntry + 3], (1u << c.PixelBits) == c.PaletteEntries ? 0 : 0x80);
    EXPECT_EQ(frame.Image, pixels);
  }
}

// What each failure leaves in the output: nothing for a bad colour depth or
// a frame too large (above 2^26 pixels, or above 2^16 with less data than
// could fill it: refused before its bitmap is taken), the headers and the
// 16-entry palette for bad data.
TEST(DibWriter, FailuresLeaveWhatTheyShould) {
  const auto few = test::EncodeFrame(test::NoiseImage(4, 4, 4), 2);
  const auto plain = test::EncodeFrame(std::vector<std::uint8_t>(2048 * 1024, 3), 2);  // one colour, well packed
  auto cut = few, size1 = few, size10 = few;
  cut.resize(4);
  size1[0] = 1;
  size10[0] = 10;
  const std::string fewBytes = std::to_string(few.size()) + " bytes";
  const std::string codeSize = "GIF code size not in range 2 to 9";
  const std::size_t headers = 54 + 64;
  const struct {
    const char* Name;
    int Width, Height, PixelBits;
    std::vector<std::uint8_t> Data;
    std::string Message;  // empty: decodes
    bool ReadError;
    std::size_t Left;
  } cases[] = {
      {"no colour table", 4, 4, 0, few, "Wrong number of colors; must be a power of 2", false, 3},
      {"no data", 4, 4, 2, {}, "Stream read error", true, headers},
      {"sub-block cut short", 4, 4, 2, cut, "Stream read error", true, headers},
      {"code size 1", 4, 4, 2, size1, codeSize, false, headers},
      {"code size 10", 4, 4, 2, size10, codeSize, false, headers},
      {"code size 9 is accepted", 4, 4, 2, test::EncodeFrame(test::NoiseImage(4, 4, 4), 9), "", false,
       headers + 16},
      {"65535 x 65535", 65535, 65535, 2, few,
       "GIF frame too large: 65535 x 65535 pixels (the limit is 67108864 pixels)", false, 3},
      {"one row past the limit", 8192, 8193, 2, plain,
       "GIF frame too large: 8192 x 8193 pixels (the limit is 67108864 pixels)", false, 3},
      {"1024 x 1024, few bytes", 1024, 1024, 2, few,
       "GIF frame data too short: " + fewBytes + " cannot fill 1024 x 1024 pixels", false, 3},
      {"2^16 pixels, few bytes", 256, 256, 2, few, "", false, headers + DibStride(4, 256) * 256},
      {"2^21 pixels, data that fill them", 2048, 1024, 2, plain, "", false, headers + DibStride(4, 2048) * 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompressedSource source(c.Data);
    std::vector<std::uint8_t> file{1, 2, 3};
    const TFrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), c.PixelBits,
                              false};
    std::string message;
    try {
      BuildFrameDib(source, format, test::GreyTable(4), {}, file);
    } catch (const std::runtime_error& failure) {
      message = failure.what();
      EXPECT_EQ(dynamic_cast<const EReadError*>(&failure) != nullptr, c.ReadError);
      EXPECT_EQ(dynamic_cast<const EInvalidGraphicOperation*>(&failure) != nullptr, !c.ReadError);
    }
    EXPECT_EQ(message, c.Message);
    EXPECT_EQ(file.size(), c.Left);
    if (c.Left == 3) {
      EXPECT_EQ(file, (std::vector<std::uint8_t>{1, 2, 3}));
    }
  }
}

}  // namespace
}  // namespace quickintro::gif
