// Row order of interlaced frames, pixel packing at 1, 4 and 8 bits, and the
// code reader across sub-block boundaries.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "code_reader.h"
#include "pixel_writer.h"
#include "reference_decoder.h"

namespace quickintro::gif {
namespace {

std::vector<int> RowsVisited(int height) {
  std::vector<int> rows;
  int pass = 0;
  for (int row = 0; row < height; row = NextInterlaceRow(row, height, pass)) rows.push_back(row);
  return rows;
}

TEST(PixelWriter, InterlacedRowsComeInFourPasses) {
  EXPECT_EQ(RowsVisited(1), (std::vector<int>{0}));
  EXPECT_EQ(RowsVisited(2), (std::vector<int>{0, 1}));
  EXPECT_EQ(RowsVisited(3), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(RowsVisited(5), (std::vector<int>{0, 4, 2, 1, 3}));
  EXPECT_EQ(RowsVisited(10), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  for (int height = 1; height <= 70; ++height)
    EXPECT_EQ(RowsVisited(height), testing::InterlacedRowOrder(height)) << "height " << height;
}

struct PackingCase {
  int Bits, Width, Height;
  std::vector<unsigned> Values;
  std::vector<std::uint8_t> Block;// bottom-up, rows padded to 4 bytes
};

TEST(PixelWriter, PacksMostSignificantBitsFirstIntoBottomUpRows) {
  const PackingCase cases[] = {
      {1, 9, 1, {1, 0, 1, 1, 0, 0, 0, 1, 1}, {0xB1, 0x80, 0, 0}},
      {1, 3, 2, {1, 1, 0, 0, 1, 1}, {0x60, 0, 0, 0, 0xC0, 0, 0, 0}},
      {4, 3, 2, {0xA, 0x5, 0xF, 1, 2, 3}, {0x12, 0x30, 0, 0, 0xA5, 0xF0, 0, 0}},
      {8, 5, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}},
      // Values after the last row are dropped.
      {8, 2, 1, {7, 8, 9, 9}, {7, 8, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Bits << " bits, " << c.Width << " x " << c.Height);
    std::vector<std::uint8_t> block(c.Block.size(), 0);
    const FrameFormat format{static_cast<std::uint16_t>(c.Width), static_cast<std::uint16_t>(c.Height), c.Bits, false};
    PixelWriter writer = StartPixelWriter(format, c.Bits, block);
    for (unsigned value : c.Values) PutPixel(value, writer);
    EXPECT_EQ(block, c.Block);
  }
}

// Codes of every width, written at random widths into sub-blocks of random
// sizes with empty sub-blocks among them, come back in order.
TEST(CodeReader, ReadsCodesAcrossSubBlocks) {
  std::mt19937 random(7);
  std::vector<std::pair<int, unsigned>> written;  // code, width
  std::vector<std::uint8_t> bytes;
  std::uint64_t pending = 0;
  int pendingBits = 0;
  for (int i = 0; i < 5000; ++i) {
    const unsigned width = 3 + random() % 10;
    const int code = static_cast<int>(random() % (1u << width));
    written.emplace_back(code, width);
    pending |= std::uint64_t(code) << pendingBits;
    for (pendingBits += width; pendingBits >= 8; pendingBits -= 8, pending >>= 8)
      bytes.push_back(static_cast<std::uint8_t>(pending));
  }
  bytes.push_back(static_cast<std::uint8_t>(pending));
  std::vector<std::uint8_t> data;
  for (std::size_t at = 0; at < bytes.size();) {
    if (random() % 5 == 0) data.push_back(0);
    const std::size_t length = std::min<std::size_t>(1 + random() % 255, bytes.size() - at);
    data.push_back(static_cast<std::uint8_t>(length));
    data.insert(data.end(), bytes.begin() + at, bytes.begin() + at + length);
    at += length;
  }
  CompressedSource source(data);
  CodeReader reader;
  for (const auto& [code, width] : written) {
    SetCodeWidth(reader, width);
    ASSERT_EQ(NextCode(source, reader), code);
  }
  SetCodeWidth(reader, 12);
  EXPECT_EQ(NextCode(source, reader), kNoMoreCodes);
}

}  // namespace
}  // namespace quickintro::gif
