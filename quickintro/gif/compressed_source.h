#pragma once
// A frame's compressed data (the minimum code size byte, then sub-blocks) as a
// view of bytes with a read position. Platform-free.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {

class TCompressedSource {
 public:
  explicit TCompressedSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::span<const std::uint8_t> Unread() const { return bytes_.subspan(position_); }

  // Fails with "Stream read error" at the end of the data.
  std::uint8_t ReadByte() {
    if (AtEnd()) throw EReadError();
    return bytes_[position_++];
  }

  // Reads exactly count bytes; when fewer are left, fails and moves nothing.
  void ReadExact(std::uint8_t* destination, std::size_t count) {
    if (bytes_.size() - position_ < count) throw EReadError();
    if (count > 0) std::memcpy(destination, bytes_.data() + position_, count);
    position_ += count;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace quickintro::gif
