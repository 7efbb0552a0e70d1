#include "quickintro/gif/gif_stream.h"

#include <algorithm>
#include <cstring>

#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {
namespace {

std::size_t CopyOut(std::span<const std::uint8_t> bytes, std::size_t& position, void* destination,
                    std::size_t count) {
  const std::size_t available = position < bytes.size() ? bytes.size() - position : 0;
  const std::size_t taken = std::min(count, available);
  if (taken > 0) std::memcpy(destination, bytes.data() + position, taken);
  position += taken;
  return taken;
}

std::span<const std::uint8_t> ViewOut(std::span<const std::uint8_t> bytes, std::size_t& position, std::size_t count) {
  if (position > bytes.size() || bytes.size() - position < count) throw EReadError();
  const auto view = bytes.subspan(position, count);
  position += count;
  return view;
}

}  // namespace

void TStream::ReadBuffer(void* destination, std::size_t count) {
  if (Remaining() < count) throw EReadError();
  Read(destination, count);
}

void TStream::ReadPadded(void* destination, std::size_t count) {
  const std::size_t taken = Read(destination, count);
  if (taken < count) std::memset(static_cast<std::uint8_t*>(destination) + taken, 0, count - taken);
}

std::uint8_t TStream::ReadByte() {
  std::uint8_t value = 0;
  ReadBuffer(&value, 1);
  return value;
}

std::size_t TByteViewStream::Read(void* destination, std::size_t count) {
  return CopyOut(bytes_, position_, destination, count);
}

void TByteViewStream::Seek(std::size_t position) { position_ = std::min(position, bytes_.size()); }

std::optional<std::span<const std::uint8_t>> TByteViewStream::ReadView(std::size_t count) {
  return ViewOut(bytes_, position_, count);
}

std::size_t TMemoryStream::Read(void* destination, std::size_t count) {
  return CopyOut(bytes_, position_, destination, count);
}

void TMemoryStream::Seek(std::size_t position) { position_ = std::min(position, bytes_.size()); }

std::optional<std::span<const std::uint8_t>> TMemoryStream::ReadView(std::size_t count) {
  return ViewOut(bytes_, position_, count);
}

void TMemoryStream::LoadFrom(TStream& source, std::size_t count) {
  bytes_.clear();
  position_ = 0;
  // The size is checked before anything is allocated: a damaged length must
  // not reserve more memory than the source holds.
  if (source.Remaining() < count) throw EReadError();
  bytes_.resize(count);
  source.ReadBuffer(bytes_.data(), count);
}

}  // namespace quickintro::gif
