#include "tests/quickintro/gif/support/reference_decoder.h"

#include <stdexcept>

#include "quickintro/gif/bitmap_file.h"

namespace quickintro::test {
namespace {

// Bits of the sub-blocks, one more sub-block fetched only when a code needs it.
class TBitSource {
 public:
  explicit TBitSource(std::span<const std::uint8_t> data) : data_(data) {}

  int Next(int width) {
    while (bitPosition_ + width > bytes_.size() * 8) {
      if (position_ >= data_.size()) return -1;
      const std::size_t length = data_[position_++];
      if (data_.size() - position_ < length) throw std::runtime_error("sub-block cut short");
      bytes_.insert(bytes_.end(), data_.begin() + position_, data_.begin() + position_ + length);
      position_ += length;
    }
    int code = 0;
    for (int bit = 0; bit < width; ++bit, ++bitPosition_)
      code |= ((bytes_[bitPosition_ / 8] >> (bitPosition_ % 8)) & 1) << bit;
    return code;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 1;  // after the minimum code size byte
  std::vector<std::uint8_t> bytes_;
  std::size_t bitPosition_ = 0;
};

}  // namespace

TReferenceResult ReferenceDecode(std::span<const std::uint8_t> data, int pixelBits,
                                 std::size_t pixelCount) {
  TReferenceResult result;
  TBitSource bits(data);
  const int size = data[0];
  const int clear = 1 << size, end = clear + 1, firstFree = clear + 2, mask = (1 << pixelBits) - 1;
  std::vector<int> prefix(4096, 0), suffix(4096, 0), stack;
  int width = size + 1, next = firstFree, previous = 0, first = 0;
  bool full = false;
  auto put = [&](int value) {
    if (result.Pixels.size() < pixelCount) result.Pixels.push_back(static_cast<std::uint8_t>(value));
  };
  auto complete = [&] { return result.Pixels.size() >= pixelCount; };
  auto tablePixel = [&](int value) {  // beyond the colour table: damage, cut to its bits
    if (value > mask) result.Corrupted = true;
    return value & mask;
  };
  int code = clear;  // as if the data began with a clear code
  while (code != end && code >= 0 && !complete()) {
    if (code == clear) {
      width = size + 1;
      next = firstFree;
      full = false;
      do code = bits.Next(width);
      while (code == clear);
      if (code < 0 || code == end) break;
      if (code > end) {  // no table code is defined right after a clear
        result.Corrupted = true;
        return result;
      }
      previous = code;
      first = tablePixel(code);
      put(first);
    } else {
      int current = code;
      stack.clear();
      if (code >= next) {
        stack.push_back(first);
        current = previous;
      }
      while (current >= clear) {
        if (stack.size() == 4096) {
          result.Corrupted = true;
          return result;
        }
        stack.push_back(suffix[current]);
        current = prefix[current];
      }
      first = tablePixel(current);
      stack.push_back(first);
      for (; !stack.empty(); stack.pop_back()) put(stack.back());
      if (!full) {
        prefix[next] = previous;
        suffix[next] = first;
        if (++next == (1 << width)) {
          if (width < 12) ++width; else full = true;
        }
      }
      previous = code;
    }
    code = bits.Next(width);
  }
  if (code < 0 && !complete()) result.Corrupted = true;
  return result;
}

std::vector<int> InterlacedRowOrder(int height) {
  std::vector<int> rows;
  for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int row = start; row < height; row += step) rows.push_back(row);
  return rows;
}

std::vector<std::uint8_t> InStreamOrder(std::span<const std::uint8_t> image, int width, int height,
                                        bool interlaced) {
  if (!interlaced) return {image.begin(), image.end()};
  std::vector<std::uint8_t> stream;
  for (int row : InterlacedRowOrder(height))
    stream.insert(stream.end(), image.begin() + row * width, image.begin() + (row + 1) * width);
  return stream;
}

std::vector<std::uint8_t> PlaceRows(std::span<const std::uint8_t> decoded, int width, int height,
                                    bool interlaced) {
  std::vector<int> order(static_cast<std::size_t>(height));
  if (interlaced)
    order = InterlacedRowOrder(height);
  else
    for (int row = 0; row < height; ++row) order[static_cast<std::size_t>(row)] = row;
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height, 0);
  for (std::size_t i = 0; i < decoded.size(); ++i)
    image[static_cast<std::size_t>(order[i / width]) * width + i % width] = decoded[i];
  return image;
}

int BitmapIndex(const gif::TBitmap& bitmap, int x, int y) {
  const gif::TBitmapLayout& layout = bitmap.Layout();
  const int bits = layout.BitsPerPixel;
  const std::size_t line = layout.Stride * static_cast<std::size_t>(layout.Height - 1 - y);
  const std::uint8_t byte = bitmap.PixelRows()[line + static_cast<std::size_t>(x * bits / 8)];
  return (byte >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1);
}

std::vector<std::uint8_t> ReadBitmapRows(const gif::TBitmap& bitmap) {
  std::vector<std::uint8_t> image;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) image.push_back(static_cast<std::uint8_t>(BitmapIndex(bitmap, x, y)));
  return image;
}

}  // namespace quickintro::test
