// Rows of pixel values packed into bitmap lines of 1 and 4 bits, against a
// plain packer, at every width the packer's blocks and tails can meet.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/pixel_writer.h"

namespace quickintro::gif {
namespace {

// A pixel at a time, most significant bits first.
std::vector<std::uint8_t> PlainPack(const std::vector<std::uint8_t>& values, int bitsPerPixel) {
  std::vector<std::uint8_t> line(static_cast<std::size_t>(DibStride(bitsPerPixel, values.size())), 0);
  for (std::size_t column = 0; column < values.size(); ++column) {
    const std::size_t bit = column * static_cast<std::size_t>(bitsPerPixel);
    line[bit / 8] |= static_cast<std::uint8_t>(values[column] << (8 - bitsPerPixel - bit % 8));
  }
  return line;
}

TEST(PixelWriter, PacksRowsAsAPixelAtATimeWould) {
  std::mt19937 random(77);
  for (const int bitsPerPixel : {1, 4}) {
    for (int width = 1; width <= 200; ++width) {
      SCOPED_TRACE(std::to_string(bitsPerPixel) + " bits, " + std::to_string(width) + " pixels");
      // Exactly width values, so that a read past them is caught.
      std::vector<std::uint8_t> values(static_cast<std::size_t>(width));
      for (auto& value : values) value = static_cast<std::uint8_t>(random() % (1u << bitsPerPixel));
      std::vector<std::uint8_t> line(static_cast<std::size_t>(DibStride(bitsPerPixel, values.size())), 0);
      PackPixelRow(values.data(), width, bitsPerPixel, line.data());
      ASSERT_EQ(line, PlainPack(values, bitsPerPixel));
    }
  }
}

}  // namespace
}  // namespace quickintro::gif
