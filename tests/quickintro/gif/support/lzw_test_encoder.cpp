#include "tests/quickintro/gif/support/lzw_test_encoder.h"

#include <algorithm>
#include <array>
#include <memory>

namespace quickintro::test {

namespace {

// Packs codes least significant bit first, growing the width exactly as a
// decoder does: every code but a clear code and the code after it (or the
// first code) adds a table entry until 4096 entries exist.
class TCodeWriter {
 public:
  explicit TCodeWriter(int minimumCodeSize)
      : minimumCodeSize_(minimumCodeSize), width_(minimumCodeSize + 1), nextFree_((1 << minimumCodeSize) + 2) {}

  void Put(int code) {
    pending_ |= static_cast<std::uint32_t>(code & ((1 << width_) - 1)) << pendingBits_;
    for (pendingBits_ += width_; pendingBits_ >= 8; pendingBits_ -= 8, pending_ >>= 8)
      bytes_.push_back(static_cast<std::uint8_t>(pending_));
    const int clear = 1 << minimumCodeSize_;
    if (code == clear) {
      width_ = minimumCodeSize_ + 1;
      nextFree_ = clear + 2;
      tableFull_ = false;
      afterClear_ = true;
    } else if (afterClear_ || tableFull_) {
      afterClear_ = false;
    } else if (++nextFree_ == (1 << width_)) {
      if (width_ < 12) ++width_;
      else tableFull_ = true;
    }
  }

  std::vector<std::uint8_t> Bytes() const {  // the last byte padded with zeros
    std::vector<std::uint8_t> bytes = bytes_;
    if (pendingBits_ > 0) bytes.push_back(static_cast<std::uint8_t>(pending_));
    return bytes;
  }

 private:
  int minimumCodeSize_;
  int width_;
  int nextFree_;
  bool tableFull_ = false;
  bool afterClear_ = true;  // data start as if after a clear code
  std::vector<std::uint8_t> bytes_;
  std::uint32_t pending_ = 0;
  int pendingBits_ = 0;
};

}  // namespace

std::vector<std::uint8_t> FrameData(int minimumCodeSize, std::span<const int> codes,
                                    std::size_t blockSize, bool terminator) {
  TCodeWriter writer(minimumCodeSize);
  for (int code : codes) writer.Put(code);
  const std::vector<std::uint8_t> bytes = writer.Bytes();
  std::vector<std::uint8_t> data{static_cast<std::uint8_t>(minimumCodeSize)};
  for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
    const std::size_t length = std::min(blockSize, bytes.size() - at);
    data.push_back(static_cast<std::uint8_t>(length));
    data.insert(data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  if (terminator) data.push_back(0);
  return data;
}

namespace {

// The encoder's table: the strings that extend each code, one list per code.
class TStringTable {
 public:
  explicit TStringTable(int clearCode) : clearCode_(clearCode) { Clear(); }
  void Clear() {
    firstChild_.fill(-1);
    nextCode_ = clearCode_ + 2;
  }
  int Find(int prefix, int pixel) const {
    for (int code = firstChild_[prefix]; code >= 0; code = nextSibling_[code])
      if (pixelOf_[code] == pixel) return code;
    return -1;
  }
  bool Add(int prefix, int pixel) {  // false once 4096 codes exist
    if (nextCode_ == 4096) return false;
    pixelOf_[nextCode_] = pixel;
    nextSibling_[nextCode_] = firstChild_[prefix];
    firstChild_[prefix] = nextCode_++;
    return true;
  }

 private:
  int clearCode_;
  int nextCode_ = 0;
  std::array<int, 4096> firstChild_{}, nextSibling_{}, pixelOf_{};
};

}  // namespace

std::vector<int> EncodeCodes(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                             const TEncodeOptions& options) {
  const int clear = 1 << minimumCodeSize;
  auto table = std::make_unique<TStringTable>(clear);
  std::vector<int> codes;
  int sinceClear = 0;
  auto putClear = [&] {
    codes.insert(codes.end(), static_cast<std::size_t>(options.ClearsInARow), clear);
    table->Clear();
    sinceClear = 0;
  };
  if (options.LeadingClear) putClear();
  if (!pixels.empty()) {
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      if (const int code = table->Find(prefix, pixels[i]); code >= 0) {
        prefix = code;
        continue;
      }
      codes.push_back(prefix);
      if (++sinceClear == options.ClearEvery) putClear();
      else if (!table->Add(prefix, pixels[i]) && options.ClearWhenFull) putClear();
      prefix = pixels[i];
    }
    codes.push_back(prefix);
  }
  if (options.ClearBeforeEnd) putClear();
  if (options.EndCode) codes.push_back(clear + 1);
  return codes;
}

std::vector<std::uint8_t> EncodeFrame(std::span<const std::uint8_t> pixels, int minimumCodeSize,
                                      const TEncodeOptions& options) {
  const auto codes = EncodeCodes(pixels, minimumCodeSize, options);
  return FrameData(minimumCodeSize, codes, options.BlockSize, true);
}

}  // namespace quickintro::test
