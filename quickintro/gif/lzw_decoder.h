#pragma once
// Decodes one frame's LZW data into a bottom-up bitmap pixel block.
// Platform-free.

#include <cstdint>
#include <span>

#include "quickintro/gif/byte_cursor.h"
#include "quickintro/gif/decode_progress.h"
#include "quickintro/gif/frame_format.h"

namespace quickintro::gif {

// Reads the minimum code size byte and the codes from source and writes the
// frame's pixels into pixels (stride x height bytes, already zero: pixels not
// reached keep colour index 0). bitsPerPixel is the bitmap's depth, 1, 4 or 8,
// at least PickDibDepth(format.PixelBits).
//
// Codes below the clear code of the data's own code size are pixel values; a
// frame whose data do not begin with a clear code decodes as if they did.
//
// Returns the corrupted flag, set for damaged data, none of which fails:
// - a string that cannot be unwound within the pixel stack, or a table code
//   right after a clear code: decoding stops there;
// - data that end before the end code and before the last row;
// - a pixel value beyond the colour table (2^pixelBits entries): it is cut
//   to the table's bits and decoding goes on.
// The pixels written so far stay; the rest keep colour index 0.
// Fails with EReadError when the code size byte is missing or a sub-block is
// cut short, and with EInvalidGraphicOperation for a code size outside 2..9.
bool DecodeFrameBits(TByteCursor& source, const TFrameFormat& format, int bitsPerPixel,
                     const DecodeProgressSink& progress, std::span<std::uint8_t> pixels);

// The most pixels that data (the code size byte, then sub-blocks) can decode
// to, whatever their codes: every code gives at most one pixel stack's worth.
std::uint64_t MostDecodablePixels(std::span<const std::uint8_t> data);

}  // namespace quickintro::gif
