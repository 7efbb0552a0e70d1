#pragma once
// The string table of the frame decoder: for every code, where its string
// already stands in the decoded output, so that it is copied from there, and
// its links (the code without its last pixel, and that pixel), from which it
// can always be unwound. Platform-free.

#include <cstddef>
#include <cstdint>

namespace quickintro::gif {

// One entry: 16 bytes on x86-64, 12 on i686.
struct TTableEntry {
  const std::uint8_t* From;  // where the string stands, in the output or among the pixel values
  std::uint32_t Head;        // how to copy it: Length and FirstPiece, see PackHead
  std::uint32_t Links;       // Prefix, First and Suffix, see PackLinks
};

// Length: the string's length; 0 when the string is not known to stand
// anywhere for good, because its links reach entries that may still change
// (damaged data), so it is unwound. FirstPiece: for a string that breaks at
// the end of the row it starts in, where the output does not go on in the
// next row, the pixels before the break; else 0.
inline constexpr std::uint32_t kBroken = std::uint32_t{1} << 16;
inline constexpr unsigned kFirstPieceShift = 17;
inline constexpr std::uint32_t kFirstPieceMask = 0x1FFF;  // a piece is shorter than a string, at most 4097 pixels

constexpr std::uint32_t BrokenAfter(std::size_t firstPiece) {
  return firstPiece == 0 ? 0 : kBroken | (static_cast<std::uint32_t>(firstPiece) & kFirstPieceMask) << kFirstPieceShift;
}

constexpr std::uint32_t PackHead(unsigned length, std::size_t firstPiece) { return length | BrokenAfter(firstPiece); }

constexpr unsigned LengthOf(std::uint32_t head) { return head & 0xFFFF; }

// The length, and more than any row holds when the string is broken.
constexpr unsigned CopyLengthOf(std::uint32_t head) { return head & (kBroken | 0xFFFF); }

// The pixels of a string up to its break; all of them when it has none.
constexpr std::size_t FirstPieceOf(std::uint32_t head) {
  return (head & kBroken) != 0 ? (head >> kFirstPieceShift) & kFirstPieceMask : LengthOf(head);
}

// Prefix: the code of the string without its last pixel. First and Suffix:
// the string's first and last pixels.
constexpr std::uint32_t PackLinks(unsigned prefix, std::uint8_t first, std::uint8_t suffix) {
  return prefix | std::uint32_t{first} << 16 | std::uint32_t{suffix} << 24;
}

constexpr unsigned PrefixOf(std::uint32_t links) { return links & 0xFFFF; }
constexpr std::uint8_t FirstOf(std::uint32_t links) { return static_cast<std::uint8_t>(links >> 16); }
constexpr std::uint8_t SuffixOf(std::uint32_t links) { return static_cast<std::uint8_t>(links >> 24); }

// The decoder keeps the entry that the next code adds as "pending": the
// string just written, one pixel longer (the first pixel of the string that
// follows, its Suffix, is not known yet), with the code just read as Prefix.
// A string written whole makes it from its own entry.
constexpr TTableEntry PendingEntryOf(const std::uint8_t* from, TTableEntry string, unsigned code) {
  return {from, LengthOf(string.Head) + 1, PackLinks(code, FirstOf(string.Links), 0)};
}

constexpr std::uint32_t WithSuffix(std::uint32_t pendingLinks, std::uint8_t suffix) {
  return pendingLinks | std::uint32_t{suffix} << 24;
}

}  // namespace quickintro::gif
