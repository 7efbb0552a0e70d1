#pragma once
// giflib, the trusted peer the wizard's reader is compared with, reading and
// decoding a GIF file held in memory. Native only.

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <span>

namespace quickintro::test {

struct TGifFileCloser {
  void operator()(GifFileType* file) const;
};
using GifFilePtr = std::unique_ptr<GifFileType, TGifFileCloser>;

// The whole file read and decoded (DGifSlurp); null when giflib refuses it.
GifFilePtr SlurpWithGiflib(std::span<const std::uint8_t> file);

}  // namespace quickintro::test
