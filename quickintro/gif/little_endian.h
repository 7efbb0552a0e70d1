#pragma once
// Little-endian integers in byte buffers, as GIF files, bitmap files, the
// layout resource and icon files store them. The callers check that the bytes
// are there. Platform-free; in namespace quickintro, since the wizard's own
// readers use them as well as the picture code.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quickintro {

// size bytes (at most 4) from at, least significant first.
inline std::uint32_t ReadLe(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

inline std::uint16_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(ReadLe(bytes, at, 2));
}

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at) { return ReadLe(bytes, at, 4); }

inline void AppendLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  AppendLe16(out, value & 0xFFFF);
  AppendLe16(out, value >> 16);
}

}  // namespace quickintro
