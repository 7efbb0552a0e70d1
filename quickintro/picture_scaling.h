#pragma once
// Pictures at a display scale. The artwork is pixel art (screenshots of the
// clock with one-pixel lines and small text) and photographs. Each target
// pixel takes the colours of the source pixels it covers, weighted by the
// area it covers of each: at a whole multiple (200 %) every source pixel
// becomes a sharp block of identical pixels; at 125, 150 or 175 % a source
// pixel keeps its own colour wherever a target pixel lies wholly inside it
// and is blended only along its edges, so lines keep one width instead of
// the alternating single and double widths of nearest-neighbour scaling, and
// nothing is blurred beyond the edges. Platform-free.
#include <cstdint>
#include <optional>
#include <span>

namespace quickintro {

// Pixels are 32-bit words 0xAARRGGBB with premultiplied alpha (the form of a
// 32-bit Windows bitmap whose rows are blended by their alpha); the rows of
// source and target come in the same order, source.size() is
// sourceWidth x sourceHeight and target.size() targetWidth x targetHeight.
// Fully transparent source pixels add nothing but their area, so a
// transparent picture's outline comes out with partial alpha. Throws
// std::invalid_argument for sizes that do not match the spans.
void ScaleByArea(std::span<const std::uint32_t> source, int sourceWidth, int sourceHeight,
                 std::span<std::uint32_t> target, int targetWidth, int targetHeight);

// Turns the pixels of an opaque picture with a transparent colour (0xRRGGBB,
// or none) into premultiplied ones: pixels of that colour become fully
// transparent (0), all others fully opaque.
void KeyOutColor(std::span<std::uint32_t> pixels, std::optional<std::uint32_t> transparentRgb);

}  // namespace quickintro
