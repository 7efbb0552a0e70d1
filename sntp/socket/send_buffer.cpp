#include "sntp/socket/send_buffer.h"

#include <algorithm>
#include <cstring>

namespace sntp {

TBuffer::TBuffer(int32_t size) { SetCapacity(size > 0 ? size : kDefaultSendChunkSize); }

void TBuffer::SetCapacity(int32_t size) {
  data_ = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
  capacity_ = size;
}

int32_t TBuffer::Write(const void* src, int32_t len) {
  const int32_t room = capacity_ - filled_;
  if (room <= 0 || len <= 0 || src == nullptr) return 0;
  const int32_t count = std::min(room, len);
  std::memcpy(data_.get() + filled_, src, static_cast<size_t>(count));
  filled_ += count;
  return count;
}

const uint8_t* TBuffer::Peek(int32_t& len) const {
  len = filled_ - consumed_;
  return len > 0 ? data_.get() + consumed_ : nullptr;
}

int32_t TBuffer::Remove(int32_t len) {
  const int32_t count = std::clamp(len, 0, filled_ - consumed_);
  consumed_ += count;
  if (consumed_ == filled_) consumed_ = filled_ = 0;
  return count;
}

void TSendQueue::QueueData(const void* data, int32_t len) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (len <= 0 || bytes == nullptr) return;
  if (chunks_.empty()) chunks_.push_back(std::make_unique<TBuffer>(chunkSize_));
  int32_t done = chunks_.back()->Write(bytes, len);
  while (done < len) {
    chunks_.push_back(std::make_unique<TBuffer>(chunkSize_));
    done += chunks_.back()->Write(bytes + done, len - done);
  }
}

void TSendQueue::QueueDatagram(const void* data, int32_t len) {
  if (len <= 0 || data == nullptr) return;
  chunks_.push_back(std::make_unique<TBuffer>(len));
  chunks_.back()->Write(data, len);
}

}  // namespace sntp
