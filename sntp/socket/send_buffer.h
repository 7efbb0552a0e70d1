#pragma once
// The send queue: bytes accepted by Send and not yet handed to Winsock, kept
// in fixed-size chunks so that Send never blocks and never reallocates a
// large block.
#include <cstdint>
#include <deque>
#include <memory>

namespace sntp {

// Default chunk capacity: one Ethernet frame.
constexpr int32_t kDefaultSendChunkSize = 1514;

// One chunk. Invariant: 0 <= Consumed <= Filled <= Capacity.
class TBuffer {
 public:
  // A size of 0 or less means kDefaultSendChunkSize.
  explicit TBuffer(int32_t size = kDefaultSendChunkSize);
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  // Appends as much of Src as fits; returns the count copied.
  int32_t Write(const void* src, int32_t len);
  // First unsent byte and the count left, or nullptr and 0 when none.
  const uint8_t* Peek(int32_t& len) const;
  // Takes out up to Len bytes; returns the count removed. An emptied chunk
  // starts over, so it can be filled again.
  int32_t Remove(int32_t len);

  int32_t Capacity() const { return capacity_; }
  int32_t Filled() const { return filled_; }
  int32_t Consumed() const { return consumed_; }

 private:
  void SetCapacity(int32_t size);

  std::unique_ptr<uint8_t[]> data_;
  int32_t capacity_ = 0;
  int32_t filled_ = 0;    // bytes written
  int32_t consumed_ = 0;  // bytes taken out
};

// Ordered chunks; new bytes go into the last chunk, sends take from the first.
// A datagram socket's queue holds one datagram per chunk instead, so that
// each goes out whole and alone.
class TSendQueue {
 public:
  explicit TSendQueue(int32_t chunkSize = kDefaultSendChunkSize) : chunkSize_(chunkSize) {}

  // Appends Len bytes of a stream, filling the last chunk first, then new
  // chunks.
  void QueueData(const void* data, int32_t len);
  // Appends one datagram of Len bytes as a chunk of its own size.
  void QueueDatagram(const void* data, int32_t len);
  bool Empty() const { return chunks_.empty(); }
  size_t ChunkCount() const { return chunks_.size(); }
  TBuffer& First() { return *chunks_.front(); }
  const TBuffer& At(size_t index) const { return *chunks_[index]; }
  void DropFirst() { chunks_.pop_front(); }
  void Clear() { chunks_.clear(); }
  int32_t ChunkSize() const { return chunkSize_; }
  void SetChunkSize(int32_t size) { chunkSize_ = size; }

 private:
  std::deque<std::unique_ptr<TBuffer>> chunks_;
  int32_t chunkSize_;
};

}  // namespace sntp
