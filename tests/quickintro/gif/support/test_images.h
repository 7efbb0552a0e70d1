#pragma once
// Deterministic frames for tests and benchmarks, one colour index per byte,
// rows top-down.

#include <cstdint>
#include <vector>

namespace quickintro::test {

// Smooth shading with a little noise over 256 colours, like a photograph
// reduced to a palette: short strings.
std::vector<std::uint8_t> PhotoLikeImage(int width, int height, std::uint32_t seed = 1);

// Large plain shapes in `colours` colours: long runs and long strings.
std::vector<std::uint8_t> FlatImage(int width, int height, int colours, std::uint32_t seed = 1);

// Independent random indices below `colours`: no strings worth the name.
std::vector<std::uint8_t> NoiseImage(int width, int height, int colours, std::uint32_t seed = 1);

}  // namespace quickintro::test
