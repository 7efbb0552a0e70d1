#pragma once
// Turns one GIF frame into its bitmap file (bitmap_file.h): the frame's
// colour table as the palette, the decoded pixels as the rows. Platform-free.

#include <array>
#include <cstdint>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/byte_cursor.h"
#include "quickintro/gif/decode_progress.h"
#include "quickintro/gif/frame_format.h"

namespace quickintro::gif {

// The largest frame decoded: 2^26 pixels (8192 x 8192), a bitmap of 64 MiB at
// 8 bits per pixel; a 32-bit process keeps room for it and its copies.
inline constexpr std::uint64_t kMostFramePixels = std::uint64_t{1} << 26;
// Frames up to 2^16 pixels (64 KiB at 8 bits) are decoded however little data
// they have, the rest of the frame keeping colour index 0; larger ones only
// when their data could fill them (MostDecodablePixels), so that a few bytes
// never cost a large bitmap.
inline constexpr std::uint64_t kShortDataFramePixels = std::uint64_t{1} << 16;

// 1 bit per pixel for 2 colours, 4 for up to 16, 8 for up to 256. Fails with
// "Wrong number of colors; must be a power of 2" for a pixelBits outside 1..8.
int PickDibDepth(int pixelBits);

// The colour table's entries from the start, the rest mid grey (0x80 in each
// byte); only the first 2^depth of them go into the file.
std::array<TDibPaletteEntry, 256> FillDibPalette(ColorTable table);

// A decoded frame and the decoder's corrupted flag.
struct TFrameDib {
  TBitmap Bitmap;
  bool Corrupted = false;
};

// Decodes the frame whose compressed data source holds into its bitmap. A
// depth failure, and a frame larger than kMostFramePixels or (above
// kShortDataFramePixels) than its data could fill, fail before anything is
// allocated; damaged codes do not fail, they set the corrupted flag.
TFrameDib BuildFrameDib(TByteCursor& source, const TFrameFormat& format, ColorTable table,
                        const DecodeProgressSink& progress);

}  // namespace quickintro::gif
