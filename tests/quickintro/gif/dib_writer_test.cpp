// The bitmap file of a frame: depth and palette from the colour count, header
// fields, row stride, and what is left after each failure.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "decode_helpers.h"
#include "graphic_error.h"
#include "lzw_test_encoder.h"
#include "test_images.h"

namespace quickintro::gif {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& file, std::size_t at) {
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | std::uint32_t(file[at + 3]) << 24;
}
std::uint32_t Le16(const std::vector<std::uint8_t>& file, std::size_t at) { return file[at] | file[at + 1] << 8; }

TEST(DibWriter, PicksTheDepthFromTheColourBits) {
  const int expected[] = {0, 1, 4, 4, 4, 8, 8, 8, 8, 0};
  for (int pixelBits = 0; pixelBits <= 9; ++pixelBits) {
    if (expected[pixelBits] != 0) {
      EXPECT_EQ(PickDibDepth(pixelBits), expected[pixelBits]);
      continue;
    }
    try {
      PickDibDepth(pixelBits);
      ADD_FAILURE() << pixelBits << " accepted";
    } catch (const EInvalidGraphicOperation& failure) {
      EXPECT_STREQ(failure.what(), "Wrong number of colors; must be a power of 2");
    }
  }
}

TEST(DibWriter, PaletteIsTheTableThenGrey) {
  ColorTableRec table;
  table.Count = 3;
  const std::uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::memcpy(table.Entries.data(), rgb, sizeof rgb);
  const auto palette = FillDibPalette(table);
  EXPECT_EQ(palette[0].Blue, 3);
  EXPECT_EQ(palette[0].Green, 2);
  EXPECT_EQ(palette[0].Red, 1);
  EXPECT_EQ(palette[0].Reserved, 0);
  EXPECT_EQ(palette[2].Blue, 9);
  for (std::size_t i = 3; i < 256; ++i)
    EXPECT_TRUE(palette[i].Blue == 0x80 && palette[i].Green == 0x80 && palette[i].Red == 0x80 &&
                palette[i].Reserved == 0x80);
  table.Count = 256;
  EXPECT_EQ(FillDibPalette(table)[255].Reserved, 0);
}

struct LayoutCase {
  int PixelBits, Width, Height;
  std::uint32_t Bits, PaletteEntries, Stride;
};

TEST(DibWriter, WritesHeadersPaletteAndPaddedRows) {
  const LayoutCase cases[] = {
      {1, 3, 2, 1, 2, 4},     // 2 colours: 1 bit, rows of 4 bytes
      {2, 5, 3, 4, 16, 4},    // 4 colours: 4 bits, 16 entries
      {5, 9, 2, 8, 256, 12},  // 32 colours: 8 bits, 9 pixels in 12 bytes
      {4, 33, 1, 4, 16, 20},
      {1, 33, 3, 1, 2, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.PixelBits << " bits, width " << c.Width);
    const auto pixels = testing::NoiseImage(c.Width, c.Height, 1 << c.PixelBits);
    const auto data = testing::EncodeFrame(pixels, std::max(2, c.PixelBits));
    const FrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), c.PixelBits,
                             false};
    const auto frame = testing::DecodeThroughDib(data, format);
    const auto& file = frame.File;
    const std::uint32_t paletteSize = 4 * c.PaletteEntries, imageSize = c.Stride * c.Height;
    ASSERT_EQ(file.size(), 54 + paletteSize + imageSize);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    const std::uint32_t header[] = {Le32(file, 2),  Le32(file, 6),  Le32(file, 10), Le32(file, 14),
                                    Le32(file, 18), Le32(file, 22), Le16(file, 26), Le16(file, 28),
                                    Le32(file, 30), Le32(file, 34), Le32(file, 38), Le32(file, 42),
                                    Le32(file, 46), Le32(file, 50)};
    const std::uint32_t expected[] = {54 + paletteSize + imageSize, 0, 54 + paletteSize, 40,
                                      std::uint32_t(c.Width), std::uint32_t(c.Height), 1, c.Bits, 0,
                                      imageSize, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), std::begin(expected)));
    const std::size_t lastEntry = 54 + paletteSize - 4;  // grey unless the table fills the palette
    EXPECT_EQ(file[lastEntry + 3], (1u << c.PixelBits) == c.PaletteEntries ? 0 : 0x80);
    EXPECT_EQ(frame.Image, pixels);
  }
}

// What each failure leaves in the output: nothing for a bad colour depth,
// the headers and the 16-entry palette for bad data.
struct FailureCase {
  const char* Name;
  int PixelBits;
  std::vector<std::uint8_t> Data;
  bool ReadError;
  const char* Message;
  std::size_t Left;
};

TEST(DibWriter, FailuresLeaveWhatTheyShould) {
  const auto good = testing::EncodeFrame(testing::NoiseImage(4, 4, 4), 2);
  auto cut = good, size1 = good, size10 = good;
  cut.resize(4);
  size1[0] = 1;
  size10[0] = 10;
  const FailureCase cases[] = {
      {"no colour table", 0, good, false, "Wrong number of colors; must be a power of 2", 3},
      {"no data", 2, {}, true, "Stream read error", 54 + 64},
      {"sub-block cut short", 2, cut, true, "Stream read error", 54 + 64},
      {"code size 1", 2, size1, false, "GIF code size not in range 2 to 9", 54 + 64},
      {"code size 10", 2, size10, false, "GIF code size not in range 2 to 9", 54 + 64},
      {"code size 9 is accepted", 2, testing::EncodeFrame(testing::NoiseImage(4, 4, 4), 9), false, nullptr,
       54 + 64 + 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    CompressedSource source(c.Data);
    std::vector<std::uint8_t> file{1, 2, 3};
    try {
      BuildFrameDib(source, {4, 4, c.PixelBits, false}, testing::GreyTable(4), {}, file);
      EXPECT_EQ(c.Message, nullptr);
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), c.Message);
      EXPECT_EQ(dynamic_cast<const EReadError*>(&failure) != nullptr, c.ReadError);
      EXPECT_EQ(dynamic_cast<const EInvalidGraphicOperation*>(&failure) != nullptr, !c.ReadError);
    }
    EXPECT_EQ(file.size(), c.Left);
  }
}

// A frame above 2^26 pixels, or above 2^16 pixels with less data than could
// fill it, is refused before its bitmap is taken; a smaller one, or one whose
// data fill it, decodes.
struct SizeCase {
  const char* Name;
  int Width, Height;
  const std::vector<std::uint8_t>& Data;
  std::string Message;// empty: decodes
};

TEST(DibWriter, RefusesFramesLargerThanTheirBoundsBeforeAllocating) {
  const auto few = testing::EncodeFrame(testing::NoiseImage(4, 4, 4), 2);
  const auto plain = testing::EncodeFrame(std::vector<std::uint8_t>(2048 * 1024, 3), 2);  // one colour, well packed
  const std::string fewBytes = std::to_string(few.size()) + " bytes";
  const SizeCase cases[] = {
      {"65535 x 65535", 65535, 65535, few, "GIF frame too large: 65535 x 65535 pixels (the limit is 67108864 pixels)"},
      {"one row past the limit", 8192, 8193, plain, "GIF frame too large: 8192 x 8193 pixels (the limit is 67108864 pixels)"},
      {"1024 x 1024, few bytes", 1024, 1024, few, "GIF frame data too short: " + fewBytes + " cannot fill 1024 x 1024 pixels"},
      {"2^16 pixels, few bytes", 256, 256, few, ""},
      {"2^21 pixels, data that fill them", 2048, 1024, plain, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    CompressedSource source(c.Data);
    std::vector<std::uint8_t> file{1, 2, 3};
    const FrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), 2, false};
    try {
      BuildFrameDib(source, format, testing::GreyTable(4), {}, file);
      EXPECT_EQ(c.Message, "");
      EXPECT_EQ(file.size(), 54 + 64 + DibStride(4, c.Width) * c.Height);
    } catch (const EInvalidGraphicOperation& failure) {
      EXPECT_EQ(failure.what(), c.Message);
      EXPECT_EQ(file, (std::vector<std::uint8_t>{1, 2, 3}));
    }
  }
}

}  // namespace
}  // namespace quickintro::gif
