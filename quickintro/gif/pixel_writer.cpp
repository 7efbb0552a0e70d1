#include "quickintro/gif/pixel_writer.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quickintro::gif {
namespace {

std::uint8_t* BitmapLine(const TPixelWriter& writer, int row) {
  return writer.Pixels + writer.Stride * static_cast<std::size_t>(writer.Height - 1 - row);
}

// Eight bytes, the first in the lowest bits.
std::uint64_t LoadEightBytes(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, bytes, sizeof value);
  } else {
    for (int i = 7; i >= 0; --i) value = value << 8 | bytes[i];
  }
  return value;
}

// The current row, complete, into its bitmap line: packed below 8 bits,
// copied from its own row for row 0 when it has one.
void PlaceRow(TPixelWriter& writer) {
  if (writer.ByteRows)
    PackPixelRow(writer.RowStart, writer.Width, writer.BitsPerPixel, BitmapLine(writer, writer.Row));
  else if (writer.FirstRow && writer.Row == 0)
    std::memcpy(BitmapLine(writer, 0), writer.RowStart, static_cast<std::size_t>(writer.Width));
}

// The low count bytes of value, the lowest first.
void StoreBytes(std::uint8_t* bytes, std::uint64_t value, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, &value, count);
  } else {
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// The interlace pass that fills the given row.
int PassOfRow(int row) {
  if (row % 8 == 0) return 0;
  if (row % 8 == 4) return 1;
  return row % 4 == 2 ? 2 : 3;
}

}  // namespace

int NextInterlaceRow(int row, int height, int& pass) {
  const int next = row + (pass <= 1 ? 8 : pass == 2 ? 4 : 2);
  if (next < height) return next;
  switch (pass) {
    case 0:
      pass = 1;
      if (height > 4) return 4;
      [[fallthrough]];
    case 1:
      pass = 2;
      if (height > 2) return 2;
      [[fallthrough]];
    case 2:
      pass = 3;
      return 1;
    default:
      return next;
  }
}

void PackPixelRow(const std::uint8_t* values, int width, int bitsPerPixel, std::uint8_t* line) {
  int column = 0;
  if (bitsPerPixel == 1) {
#if defined(__SSE2__)
    // Sixteen values of 0 or 1 at the top of their bytes make a byte mask,
    // first value lowest; four make the bits of 64 values, and the bits of
    // each byte reversed put the first value of each byte at its top.
    for (; column + 64 <= width; column += 64) {
      std::uint64_t bits = 0;
      for (int part = 0; part < 4; ++part) {
        const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + column + 16 * part));
        bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_slli_epi16(lanes, 7)))} << (16 * part);
      }
      bits = ((bits >> 1) & 0x5555555555555555u) | ((bits & 0x5555555555555555u) << 1);
      bits = ((bits >> 2) & 0x3333333333333333u) | ((bits & 0x3333333333333333u) << 2);
      bits = ((bits >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((bits & 0x0F0F0F0F0F0F0F0Fu) << 4);
      StoreBytes(line + column / 8, bits, 8);
    }
#endif
    // Eight values of 0 or 1 make a byte: the product moves value i to bit
    // 63 - i, and no two of its terms meet, so nothing carries.
    for (; column + 8 <= width; column += 8)
      line[column / 8] = static_cast<std::uint8_t>((LoadEightBytes(values + column) * 0x8040201008040201u) >> 56);
    unsigned packed = 0;
    for (int bit = 0; column + bit < width; ++bit) packed |= unsigned{values[column + bit]} << (7 - bit);
    if (column < width) line[column / 8] = static_cast<std::uint8_t>(packed);
    return;
  }
  // 4 bits: each pair of values below 16 makes a byte, the first value in
  // the high nibble; in each 16-bit lane (first, second) the low byte becomes
  // first << 4 | second.
#if defined(__SSE2__)
  for (; column + 16 <= width; column += 16) {
    const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + column));
    const __m128i pairs =
        _mm_and_si128(_mm_or_si128(_mm_slli_epi16(lanes, 4), _mm_srli_epi16(lanes, 8)), _mm_set1_epi16(0xFF));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(line + column / 2), _mm_packus_epi16(pairs, pairs));
  }
#endif
  for (; column + 8 <= width; column += 8) {
    const std::uint64_t lanes = LoadEightBytes(values + column);
    std::uint64_t pairs = ((lanes << 4) | (lanes >> 8)) & 0x00FF00FF00FF00FFu;
    pairs = (pairs | (pairs >> 8)) & 0x0000FFFF0000FFFFu;
    pairs |= pairs >> 16;
    StoreBytes(line + column / 2, pairs, 4);
  }
  for (; column + 1 < width; column += 2)
    line[column / 2] = static_cast<std::uint8_t>(values[column] << 4 | values[column + 1]);
  if (column < width) line[column / 2] = static_cast<std::uint8_t>(values[column] << 4);
}

TPixelWriter StartPixelWriter(const TFrameFormat& format, int bitsPerPixel, std::span<std::uint8_t> pixels) {
  TPixelWriter writer;
  writer.Width = format.Width;
  writer.Height = format.Height;
  writer.Interlaced = format.Interlaced;
  writer.BitsPerPixel = bitsPerPixel;
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
    throw std::invalid_argument("bitmap depth must be 1, 4 or 8 bits per pixel");
  // Rows of at most 65535 bytes: the stride and the block's size fit 32 bits.
  writer.Stride = static_cast<std::size_t>(DibStride(bitsPerPixel, format.Width));
  if (pixels.size() < std::uint64_t{writer.Stride} * format.Height)
    throw std::invalid_argument("pixel buffer smaller than the bitmap");
  writer.Pixels = pixels.data();
  if (format.Width == 0 || format.Height == 0) {
    writer.Row = writer.Height;  // nothing to fill
    return writer;
  }
  if (bitsPerPixel < 8) {
    // At most 65535 x 65535 bytes and the slack: below 2^32.
    const std::size_t bytes = std::size_t{format.Width} * format.Height;
    writer.ByteRows = std::make_unique_for_overwrite<std::uint8_t[]>(bytes + kByteRowSlack);
    writer.RowStart = writer.ByteRows.get();
    writer.BytesEnd = writer.RowStart + bytes;
  } else if (pixels.size() - writer.Stride * format.Height >= kByteRowSlack) {
    writer.RowStart = BitmapLine(writer, 0);
  } else {
    writer.FirstRow = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{format.Width} + kByteRowSlack);
    writer.RowStart = writer.FirstRow.get();
  }
  writer.RowEnd = writer.RowStart + writer.Width;
  return writer;
}

bool AdvancePixelRow(TPixelWriter& writer) {
  PlaceRow(writer);
  ++writer.RowsDone;
  writer.Row = writer.Interlaced ? NextInterlaceRow(writer.Row, writer.Height, writer.Pass) : writer.Row + 1;
  if (writer.Row >= writer.Height) return false;
  writer.RowStart = writer.ByteRows ? writer.RowEnd : BitmapLine(writer, writer.Row);
  writer.RowEnd = writer.RowStart + writer.Width;
  return true;
}

const std::uint8_t* FollowingRowStart(const TPixelWriter& writer, const std::uint8_t* rowEnd) {
  if (writer.ByteRows) return rowEnd;
  const std::uint8_t* const rowStart = rowEnd - writer.Width;
  const bool firstRow = writer.FirstRow && rowStart == writer.FirstRow.get();
  if (!firstRow && !writer.Interlaced) return rowStart - writer.Stride;  // the line below in the block
  const auto line = firstRow ? static_cast<std::size_t>(writer.Height - 1)
                             : static_cast<std::size_t>(rowStart - writer.Pixels) / writer.Stride;
  const int row = writer.Height - 1 - static_cast<int>(line);
  int pass = PassOfRow(row);
  return BitmapLine(writer, writer.Interlaced ? NextInterlaceRow(row, writer.Height, pass) : row + 1);
}

void FinishPixelWriter(TPixelWriter& writer, std::uint8_t* next) {
  if (writer.Row >= writer.Height) return;
  std::memset(next, 0, static_cast<std::size_t>(writer.RowEnd - next));
  PlaceRow(writer);
}

}  // namespace quickintro::gif
