#pragma once
// The one way the wizard's readers take bytes: the layout resource, the
// window icon's file, GIF files and the compressed data of their frames. A
// cursor reads a block held in memory from the front; the length left is
// checked before every read, and the position moves only when the read
// succeeds, so no reader can step outside its block. What a short read means
// (a failure, a field that tolerates the end, the end of a list) is the
// reader's own affair. Platform-free; in namespace quickintro, since the
// wizard's readers use it as well as the picture code.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quickintro {

class TByteCursor {
 public:
  TByteCursor() = default;
  explicit TByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  bool AtEnd() const { return position_ == bytes_.size(); }
  // Every byte of the block, read or not: a reader keeps views of what it read.
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::span<const std::uint8_t> Unread() const { return bytes_.subspan(position_); }

  // The next count bytes, moving past them; nothing, moving nothing, when
  // fewer are left.
  std::optional<std::span<const std::uint8_t>> Take(std::size_t count) {
    if (count > Remaining()) return std::nullopt;
    const std::span<const std::uint8_t> taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }

  std::optional<std::uint8_t> TakeByte() {
    if (AtEnd()) return std::nullopt;
    return bytes_[position_++];
  }

  // An unsigned little-endian number of size bytes (1 to 4), as Take.
  std::optional<std::uint32_t> TakeLe(std::size_t size) {
    const std::optional<std::span<const std::uint8_t>> bytes = Take(size);
    if (!bytes) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | (*bytes)[i];
    return value;
  }

  // The next Count bytes, or as many as are left followed by zeros: for the
  // fixed fields that a reader takes whatever the data end.
  template <std::size_t Count>
  std::array<std::uint8_t, Count> TakePadded() {
    std::array<std::uint8_t, Count> field{};
    const std::span<const std::uint8_t> taken = *Take(std::min(Count, Remaining()));
    std::copy(taken.begin(), taken.end(), field.begin());
    return field;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace quickintro
