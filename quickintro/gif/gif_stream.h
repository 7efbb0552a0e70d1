#pragma once
// Byte streams the picture reader reads from: a position, a size, and the
// short-read failure ("Stream read error"). Platform-free.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quickintro::gif {

class TStream {
 public:
  virtual ~TStream() = default;

  // Copies up to count bytes to destination; returns how many were copied.
  virtual std::size_t Read(void* destination, std::size_t count) = 0;
  virtual std::size_t Position() const = 0;
  virtual std::size_t Size() const = 0;
  // Positions past the end are clamped to the end.
  virtual void Seek(std::size_t position) = 0;

  std::size_t Remaining() const { return Position() < Size() ? Size() - Position() : 0; }
  bool AtEnd() const { return Position() >= Size(); }

  // Reads exactly count bytes; when fewer are left, fails with EReadError
  // and moves nothing.
  void ReadBuffer(void* destination, std::size_t count);
  // Reads as many of count bytes as there are; the rest of destination is
  // set to zero. For the fields that tolerate data ending early.
  void ReadPadded(void* destination, std::size_t count);
  // One byte; EReadError at the end.
  std::uint8_t ReadByte();

  // The next count bytes where the stream holds them in memory, moving past
  // them (EReadError when fewer are left); nullopt, moving nothing, for a
  // stream that must be copied from.
  virtual std::optional<std::span<const std::uint8_t>> ReadView(std::size_t count) { return std::nullopt; }
};

// Reads bytes that someone else keeps alive (layout data, a file read into
// memory, the fuzzer's input).
class TByteViewStream final : public TStream {
 public:
  explicit TByteViewStream(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Read(void* destination, std::size_t count) override;
  std::size_t Position() const override { return position_; }
  std::size_t Size() const override { return bytes_.size(); }
  void Seek(std::size_t position) override;
  std::optional<std::span<const std::uint8_t>> ReadView(std::size_t count) override;
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// Owns its bytes. The reader copies a picture's bytes into one of these and
// parses from there, so it never reads past the picture.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* destination, std::size_t count) override;
  std::size_t Position() const override { return position_; }
  std::size_t Size() const override { return bytes_.size(); }
  void Seek(std::size_t position) override;
  std::optional<std::span<const std::uint8_t>> ReadView(std::size_t count) override;

  // Replaces the content with exactly count bytes of source, read in one
  // block; fails with EReadError (content empty) when source has fewer.
  void LoadFrom(TStream& source, std::size_t count);
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace quickintro::gif
