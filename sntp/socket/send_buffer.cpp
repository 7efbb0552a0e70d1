#include "sntp/socket/send_buffer.h"

#include <algorithm>
#include <cstring>

namespace sntp {

TBuffer::TBuffer(int32_t Size) { SetCapacity(Size > 0 ? Size : kDefaultSendChunkSize); }

void TBuffer::SetCapacity(int32_t Size) {
  data_ = std::make_unique<uint8_t[]>(static_cast<size_t>(Size));
  capacity_ = Size;
}

int32_t TBuffer::Write(const void* Src, int32_t Len) {
  const int32_t room = capacity_ - filled_;
  if (room <= 0 || Len <= 0 || Src == nullptr) return 0;
  const int32_t count = std::min(room, Len);
  std::memcpy(data_.get() + filled_, Src, static_cast<size_t>(count));
  filled_ += count;
  return count;
}

const uint8_t* TBuffer::Peek(int32_t& Len) const {
  Len = filled_ - consumed_;
  return Len > 0 ? data_.get() + consumed_ : nullptr;
}

int32_t TBuffer::Remove(int32_t Len) {
  const int32_t count = std::clamp(Len, 0, filled_ - consumed_);
  consumed_ += count;
  if (consumed_ == filled_) consumed_ = filled_ = 0;
  return count;
}

void TSendQueue::QueueData(const void* Data, int32_t Len) {
  const auto* bytes = static_cast<const uint8_t*>(Data);
  if (Len <= 0 || bytes == nullptr) return;
  if (chunks_.empty()) chunks_.push_back(std::make_unique<TBuffer>(chunk_size_));
  int32_t done = chunks_.back()->Write(bytes, Len);
  while (done < Len) {
    chunks_.push_back(std::make_unique<TBuffer>(chunk_size_));
    done += chunks_.back()->Write(bytes + done, Len - done);
  }
}

}  // namespace sntp
