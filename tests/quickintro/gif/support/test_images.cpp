#include "tests/quickintro/gif/support/test_images.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace quickintro::test {

std::vector<std::uint8_t> PhotoLikeImage(int width, int height, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image;
  image.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double shade = 128 + 60 * std::sin(x * 0.011 + y * 0.007) + 50 * std::cos(y * 0.013 - x * 0.005) +
                           5 * std::sin((x + y) * 0.05);
      const int grain = random() % 4 == 0 ? static_cast<int>(random() % 3) - 1 : 0;  // dithering
      image.push_back(static_cast<std::uint8_t>(std::clamp(static_cast<int>(shade) + grain, 0, 255)));
    }
  }
  return image;
}

std::vector<std::uint8_t> FlatImage(int width, int height, int colours, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height, 0);
  // Rectangles and discs painted over each other, a few dozen of them.
  const int shapes = 12 + width * height / 20000;
  for (int s = 0; s < shapes; ++s) {
    const int colour = static_cast<int>(random() % static_cast<unsigned>(colours));
    const int cx = static_cast<int>(random() % static_cast<unsigned>(width));
    const int cy = static_cast<int>(random() % static_cast<unsigned>(height));
    const int radius = 4 + static_cast<int>(random() % static_cast<unsigned>(std::max(1, width / 6)));
    const bool disc = random() % 2 == 0;
    for (int y = std::max(0, cy - radius); y < std::min(height, cy + radius); ++y)
      for (int x = std::max(0, cx - radius); x < std::min(width, cx + radius); ++x)
        if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius)
          image[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(colour);
  }
  return image;
}

std::vector<std::uint8_t> NoiseImage(int width, int height, int colours, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height);
  for (auto& pixel : image) pixel = static_cast<std::uint8_t>(random() % static_cast<unsigned>(colours));
  return image;
}

}  // namespace quickintro::test
