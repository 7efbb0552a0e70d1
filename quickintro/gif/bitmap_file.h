#pragma once
// The one form of a decoded picture: a Windows bitmap file (BMP) in memory,
// a 14-byte file header, a 40-byte information header, the palette, then the
// pixel rows, each padded to 4 bytes. Its layout is computed once, before the
// file is made, and travels with it: the frame decoder writes into the rows,
// gifdecode saves the file as it is, and the Win32 edge hands its information
// header and rows to GDI, and nothing reads the headers back. Only this file
// knows where the header fields lie. Platform-free.

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

// Where a bottom-up, uncompressed bitmap file keeps its parts. The
// information header and then the palette follow the file header.
struct TBitmapLayout {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  int BitsPerPixel = 0;
  std::size_t PaletteEntries = 0;
  std::size_t PixelOffset = 0;  // the rows, row 0 of the picture last
  std::size_t Stride = 0;       // bytes per row
  std::size_t FileSize = 0;
};

// Bytes per bitmap row, in 64 bits: bits x width rounded up to whole 32-bit
// words.
constexpr std::uint64_t DibStride(int bitsPerPixel, std::uint64_t width) {
  return (static_cast<std::uint64_t>(bitsPerPixel) * width + 31) / 32 * 4;
}

// The layout of a bitmap file of width x height pixels at 1, 4, 8 or 32 bits
// per pixel, with a palette of 2^bits entries below 32 bits and none at 32.
// Every size is computed in 64 bits: nothing comes back for a bitmap whose
// file would not fit the 32-bit sizes of its headers or this process's
// memory, or for sizes and depths no bitmap has.
std::optional<TBitmapLayout> PlanBitmapFile(std::int64_t width, std::int64_t height, int bitsPerPixel);

// The file of a layout from PlanBitmapFile: its headers, the palette (one
// entry per palette entry of the layout) and every pixel row zero, with room
// reserved for spareBytes more behind it.
std::vector<std::uint8_t> NewBitmapFile(const TBitmapLayout& layout, std::span<const TDibPaletteEntry> palette,
                                        std::size_t spareBytes = 0);

// A bitmap file held with its layout.
class TBitmap {
 public:
  TBitmap() = default;  // empty: no file
  // A file that NewBitmapFile made for layout, its rows written or not;
  // std::invalid_argument when its size is not the layout's.
  TBitmap(std::vector<std::uint8_t> file, const TBitmapLayout& layout);

  bool Empty() const { return file_.empty(); }
  std::int32_t Width() const { return layout_.Width; }
  std::int32_t Height() const { return layout_.Height; }
  const TBitmapLayout& Layout() const { return layout_; }
  const std::vector<std::uint8_t>& File() const { return file_; }
  // The information header and the palette, as GDI takes them.
  std::span<const std::uint8_t> Info() const;
  std::span<const std::uint8_t> PixelRows() const;
  std::span<std::uint8_t> PixelRows();

 private:
  std::vector<std::uint8_t> file_;
  TBitmapLayout layout_;
};

}  // namespace quickintro::gif
