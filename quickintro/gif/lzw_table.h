#pragma once
// The string table of the frame decoder: for every code, where its string
// already stands in the decoded output, so that it is copied from there, and
// its links (the code without its last pixel, and that pixel), from which it
// can always be unwound. Platform-free.

#include <cstddef>
#include <cstdint>

namespace quickintro::gif {

// One entry, in two words, which the decoding loop moves in two registers.
struct TTableEntry {
  const std::uint8_t* From;  // where the string stands, in the output or among the pixel values
  std::uint64_t Fields;      // see PackFields
};

// The fields of an entry:
// - Length: the string's length; 0 when the string is not known to stand
//   anywhere for good, because its links reach entries that may still change
//   (damaged data), so it is unwound;
// - FirstPiece: for a string that breaks at the end of the row it starts in,
//   where the output does not go on in the next row, the pixels before the
//   break; else 0;
// - Prefix: the code of the string without its last pixel;
// - First and Suffix: its first and its last pixel.
inline constexpr std::uint64_t kBroken = std::uint64_t{1} << 16;
inline constexpr unsigned kFirstPieceShift = 17;
inline constexpr std::uint64_t kFirstPieceMask = 0x1FFF;  // a piece is shorter than a string, at most 4097 pixels

constexpr std::uint64_t BrokenAfter(std::uint64_t firstPiece) {
  return firstPiece == 0 ? 0 : kBroken | (firstPiece & kFirstPieceMask) << kFirstPieceShift;
}

constexpr std::uint64_t PackFields(std::uint64_t length, std::uint64_t firstPiece, std::uint64_t prefix,
                                   std::uint64_t first, std::uint64_t suffix) {
  return length | BrokenAfter(firstPiece) | prefix << 32 | first << 48 | suffix << 56;
}

constexpr unsigned LengthOf(std::uint64_t fields) { return fields & 0xFFFF; }
constexpr unsigned PrefixOf(std::uint64_t fields) { return (fields >> 32) & 0xFFFF; }
constexpr std::uint8_t FirstOf(std::uint64_t fields) { return static_cast<std::uint8_t>(fields >> 48); }
constexpr std::uint8_t SuffixOf(std::uint64_t fields) { return static_cast<std::uint8_t>(fields >> 56); }

// The length, and more than any row holds when the string is broken.
constexpr unsigned CopyLengthOf(std::uint64_t fields) { return fields & (kBroken | 0xFFFF); }

// The pixels of a string up to its break; all of them when it has none.
constexpr std::size_t FirstPieceOf(std::uint64_t fields) {
  return (fields & kBroken) != 0 ? (fields >> kFirstPieceShift) & kFirstPieceMask : LengthOf(fields);
}

// The decoder keeps the entry that the next code adds as "pending": the
// string just written, one pixel longer (the first pixel of the string that
// follows, its Suffix, is not known yet), with the code just read as Prefix.
// A string written whole makes it from its own fields.
constexpr std::uint64_t PendingFieldsOf(std::uint64_t fields, unsigned code) {
  return ((fields & PackFields(0xFFFF, 0, 0, 0xFF, 0)) + 1) | std::uint64_t{code} << 32;
}

constexpr std::uint64_t WithSuffix(std::uint64_t pendingFields, std::uint8_t suffix) {
  return pendingFields | std::uint64_t{suffix} << 56;
}

}  // namespace quickintro::gif
