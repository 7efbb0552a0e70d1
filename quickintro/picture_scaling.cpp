#include "quickintro/picture_scaling.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace quickintro {
namespace {

constexpr int kChannels = 4;
// The pass between the two axes keeps 8 bits below each channel's unit, so
// that rounding happens once, at the end.
constexpr std::uint64_t kFraction = 256;

struct TTap {
  int Source;
  std::uint64_t Weight;
};

// For each target pixel along one axis, the source pixels it covers and how
// much of each. Lengths are counted in units of which a source pixel spans
// targetSize and a target pixel sourceSize, so every overlap is a whole
// number and the weights of one target pixel add up to sourceSize.
class TAxisTaps {
 public:
  TAxisTaps(int sourceSize, int targetSize) : sourceSize_(sourceSize) {
    first_.reserve(static_cast<std::size_t>(targetSize) + 1);
    for (int t = 0; t < targetSize; ++t) {
      first_.push_back(taps_.size());
      const std::int64_t begin = std::int64_t{t} * sourceSize, end = begin + sourceSize;
      for (std::int64_t s = begin / targetSize; s < sourceSize && s * targetSize < end; ++s) {
        const std::int64_t overlap = std::min(end, (s + 1) * targetSize) - std::max(begin, s * targetSize);
        if (overlap > 0) taps_.push_back(TTap{static_cast<int>(s), static_cast<std::uint64_t>(overlap)});
      }
    }
    first_.push_back(taps_.size());
  }
  std::span<const TTap> Of(int target) const {
    return std::span<const TTap>(taps_).subspan(first_[target], first_[target + 1] - first_[target]);
  }
  std::uint64_t Total() const { return static_cast<std::uint64_t>(sourceSize_); }

 private:
  int sourceSize_;
  std::vector<TTap> taps_;
  std::vector<std::size_t> first_;
};

std::uint64_t Channel(std::uint32_t pixel, int channel) { return (pixel >> (8 * channel)) & 0xFF; }

// Divides with rounding to the nearest whole number.
std::uint64_t RoundedQuotient(std::uint64_t dividend, std::uint64_t divisor) {
  return (dividend + divisor / 2) / divisor;
}

// Each source row scaled along x; channels in units of 1/kFraction.
std::vector<std::uint16_t> ScaleRows(std::span<const std::uint32_t> source, int sourceWidth, int sourceHeight,
                                     const TAxisTaps& columns, int targetWidth) {
  std::vector<std::uint16_t> rows(static_cast<std::size_t>(targetWidth) * sourceHeight * kChannels);
  std::size_t out = 0;
  for (int y = 0; y < sourceHeight; ++y) {
    const std::span<const std::uint32_t> row = source.subspan(static_cast<std::size_t>(y) * sourceWidth, sourceWidth);
    for (int x = 0; x < targetWidth; ++x) {
      for (int channel = 0; channel < kChannels; ++channel) {
        std::uint64_t sum = 0;
        for (const TTap& tap : columns.Of(x)) sum += tap.Weight * Channel(row[tap.Source], channel);
        rows[out++] = static_cast<std::uint16_t>(RoundedQuotient(sum * kFraction, columns.Total()));
      }
    }
  }
  return rows;
}

// The scaled rows combined along y into the target.
void ScaleColumns(const std::vector<std::uint16_t>& rows, int targetWidth, const TAxisTaps& lines,
                  std::span<std::uint32_t> target, int targetHeight) {
  const std::size_t rowLength = static_cast<std::size_t>(targetWidth) * kChannels;
  std::vector<std::uint64_t> sums(rowLength);
  const std::uint64_t divisor = lines.Total() * kFraction;
  for (int y = 0; y < targetHeight; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    for (const TTap& tap : lines.Of(y)) {
      const std::uint16_t* row = rows.data() + static_cast<std::size_t>(tap.Source) * rowLength;
      for (std::size_t i = 0; i < rowLength; ++i) sums[i] += tap.Weight * row[i];
    }
    std::uint32_t* out = target.data() + static_cast<std::size_t>(y) * targetWidth;
    for (int x = 0; x < targetWidth; ++x) {
      std::uint32_t pixel = 0;
      for (int channel = 0; channel < kChannels; ++channel)
        pixel |= static_cast<std::uint32_t>(RoundedQuotient(sums[x * kChannels + channel], divisor)) << (8 * channel);
      out[x] = pixel;
    }
  }
}

std::size_t Area(int width, int height) {
  if (width < 0 || height < 0) throw std::invalid_argument("a picture cannot have a negative size");
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

void ScaleByArea(std::span<const std::uint32_t> source, int sourceWidth, int sourceHeight,
                 std::span<std::uint32_t> target, int targetWidth, int targetHeight) {
  if (source.size() != Area(sourceWidth, sourceHeight) || target.size() != Area(targetWidth, targetHeight))
    throw std::invalid_argument("the pixels do not match the picture's size");
  if (target.empty()) return;
  if (source.empty()) {
    std::fill(target.begin(), target.end(), 0);  // nothing to show: transparent
    return;
  }
  const TAxisTaps columns(sourceWidth, targetWidth), lines(sourceHeight, targetHeight);
  ScaleColumns(ScaleRows(source, sourceWidth, sourceHeight, columns, targetWidth), targetWidth, lines, target,
               targetHeight);
}

void KeyOutColor(std::span<std::uint32_t> pixels, std::optional<std::uint32_t> transparentRgb) {
  for (std::uint32_t& pixel : pixels) {
    const std::uint32_t rgb = pixel & 0x00FFFFFF;
    pixel = transparentRgb && rgb == *transparentRgb ? 0 : rgb | 0xFF000000;
  }
}

}  // namespace quickintro
