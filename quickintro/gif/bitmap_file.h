#pragma once
// The one form of a decoded picture: a Windows bitmap file (BMP) in memory,
// a 14-byte file header, a 40-byte information header, the palette, then the
// pixel rows, each padded to 4 bytes. The frame decoder writes it, the
// picture keeps it, gifdecode saves it as it is, and the Win32 edge hands
// its information header and rows to GDI. Only this file knows where the
// header fields lie. Platform-free.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quickintro::gif {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;

struct TDibPaletteEntry {
  std::uint8_t Blue = 0x80;
  std::uint8_t Green = 0x80;
  std::uint8_t Red = 0x80;
  std::uint8_t Reserved = 0x80;
};

// Where a bitmap file keeps its parts.
struct TBitmapLayout {
  std::int32_t Width = 0;
  std::int32_t Height = 0;  // rows, positive whichever way they are stored
  bool TopDown = false;     // else row 0 of the picture is the last row stored
  int BitsPerPixel = 0;
  std::size_t InfoOffset = kBitmapFileHeaderSize;  // the information header, then the palette
  std::size_t PixelOffset = 0;                     // the rows
  std::size_t Stride = 0;                          // bytes per row
};

// Bytes per bitmap row: bits x width rounded up to whole 32-bit words.
constexpr std::size_t DibStride(int bitsPerPixel, std::size_t width) {
  return (static_cast<std::size_t>(bitsPerPixel) * width + 31) / 32 * 4;
}

// A bottom-up, uncompressed bitmap file of 1, 4, 8 or 32 bits per pixel with
// the given palette (2^bits entries below 32 bits, none at 32) and every
// pixel row zero, with room reserved for spareBytes more behind it. The
// caller keeps the sizes within 2^32 bytes.
std::vector<std::uint8_t> NewBitmapFile(int width, int height, int bitsPerPixel,
                                        std::span<const TDibPaletteEntry> palette, std::size_t spareBytes = 0);

// The layout of an uncompressed bitmap file of 1, 4, 8, 24 or 32 bits per
// pixel that holds all its rows; nothing for any other data.
std::optional<TBitmapLayout> ReadBitmapLayout(std::span<const std::uint8_t> file);

}  // namespace quickintro::gif
