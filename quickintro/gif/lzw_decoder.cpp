#include "quickintro/gif/lzw_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "quickintro/gif/code_reader.h"
#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/pixel_writer.h"

namespace quickintro::gif {
namespace {

constexpr int kTableSize = 1 << kMaxCodeWidth;  // 4096 codes
constexpr std::uint16_t kNotCopyable = 0xFFFF;    // a string length no table can reach

// Where a code's whole string already stands, so that it is copied from
// there in one go: in the frame (its first pixel at From, Room bytes to
// the end of that row, which is row RowIndex of TPixelWriter::RowLines), or,
// for a pixel value, in kPixelValues. Length 0: not known to stand anywhere,
// because its prefix chain reaches entries that may still change; such a
// string is unwound through the stack, which gives the same pixels.
struct TStringPlace {
  const std::uint8_t* From = nullptr;
  std::uint16_t Room = 0;
  std::uint16_t Length = 0;
  std::uint16_t RowIndex = 0;
  std::uint8_t FirstPixel = 0;
};

// Every pixel value as a one-pixel string, with 16 readable bytes behind it.
constexpr std::array<std::uint8_t, 256 + 16> kPixelValues = [] {
  std::array<std::uint8_t, 256 + 16> values{};
  for (int i = 0; i < 256; ++i) values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return values;
}();

// Taken once per frame and zero-filled, so that codes never defined unwind
// to zeros. Every index is a code (< 4096) or a stack count (<= 4096).
struct TDecoderTables {
  std::array<std::uint16_t, kTableSize> Prefix{};  // the code's string without its last pixel
  std::array<std::uint8_t, kTableSize> Suffix{};   // its last pixel, <= the pixel mask
  std::array<TStringPlace, kTableSize> Places{};
  std::array<std::uint8_t, kTableSize + 1> Stack{};
};

const std::string kNoMessage;

void Notify(const DecodeProgressSink& progress, TProgressStage stage, int percent,
            const std::string& message) {
  if (progress) progress(stage, percent, message);
}

inline void CopyBlock16(std::uint8_t* to, const std::uint8_t* from) {
  std::uint8_t block[16];  // loaded whole before the store: the ranges may overlap
  std::memcpy(block, from, sizeof block);
  std::memcpy(to, block, sizeof block);
}

// Decodes as the plain method does, each string unwound through a stack from
// the prefix and suffix tables, but copies a string from where it already
// stands whenever that place is known, which gives the same pixels: strings
// are long where pictures are flat, and a copy costs little per pixel.
class TFrameDecoder {
 public:
  TFrameDecoder(TCompressedSource& source, TPixelWriter& writer, TDecoderTables& tables, int pixelBits,
                int minimumCodeSize, const DecodeProgressSink& progress)
      : source_(source), writer_(writer), tables_(tables), progress_(progress),
        pixelMask_((1 << pixelBits) - 1), minimumCodeSize_(minimumCodeSize),
        clearCode_(1 << minimumCodeSize), endCode_(clearCode_ + 1), firstFreeCode_(clearCode_ + 2),
        nextFreeCode_(firstFreeCode_), capacity_(1 << (minimumCodeSize + 1)),
        notifyRunning_(progress && source.Size() > 0) {
    SetCodeWidth(reader_, static_cast<unsigned>(minimumCodeSize + 1));
    // Pixel values beyond the colour table keep length 0, so that they are
    // unwound, and marked, wherever they come.
    for (int value = 0; value < clearCode_ && value <= pixelMask_; ++value)
      tables_.Places[static_cast<std::size_t>(value)] = {&kPixelValues[static_cast<std::size_t>(value)], 16, 1, 0,
                                                         static_cast<std::uint8_t>(value)};
  }

  // Decodes until the end code, the last row, damage or the end of the data.
  // Returns the corrupted flag.
  bool Run() {
    int code = clearCode_;  // a frame starts as if with a clear code
    while (code != endCode_ && code != kNoMoreCodes && writer_.Row < writer_.Height) {
      if (code == clearCode_) {
        if (!RestartTable(code)) break;
      } else if (!DecodeCode(code)) {
        corrupted_ = true;
        break;
      }
      code = NextCode(source_, reader_);
      if (notifyRunning_) NotifyRunning();
    }
    if (code == kNoMoreCodes && writer_.Row < writer_.Height) corrupted_ = true;
    FinishPixelWriter(writer_);
    return corrupted_;
  }

 private:
  // The place where the next string starts.
  TStringPlace CurrentPlace() const {
    return {writer_.Line + writer_.Column, static_cast<std::uint16_t>(writer_.Width - writer_.Column), 0,
            static_cast<std::uint16_t>(writer_.RowLines.size() - 1), 0};
  }

  // A clear code: back to the first table and width. Clear codes in a row
  // count as one; the code after them must be a pixel value, which starts
  // the new table and adds no entry. Leaves that code in code and returns
  // false when it is none: the end code, the end of the data, or a table
  // code, which nothing defines yet (damage).
  bool RestartTable(int& code) {
    SetCodeWidth(reader_, static_cast<unsigned>(minimumCodeSize_ + 1));
    capacity_ = 1 << (minimumCodeSize_ + 1);
    nextFreeCode_ = firstFreeCode_;
    tableFull_ = false;
    do {
      code = NextCode(source_, reader_);
    } while (code == clearCode_);
    if (code == kNoMoreCodes || code == endCode_) return false;
    if (code > endCode_) {
      corrupted_ = true;
      return false;
    }
    previousCode_ = code;
    previous_ = CurrentPlace();
    previous_.Length = 1;
    previous_.FirstPixel = TablePixel(code);
    PutPixel(previous_.FirstPixel, writer_);
    return true;
  }

  // A pixel value as the bitmap keeps it: one beyond the colour table marks
  // the frame damaged and is cut to the table's bits, so that it shows a
  // colour of the table and never spills into a neighbouring pixel.
  std::uint8_t TablePixel(int value) {
    if (value > pixelMask_) corrupted_ = true;
    return static_cast<std::uint8_t>(value & pixelMask_);
  }

  // Writes the string of a code other than clear and end and adds the table
  // entry it implies. False when the string cannot be unwound (damaged data).
  bool DecodeCode(int code) {
    TStringPlace current = CurrentPlace();
    if (code < nextFreeCode_) {
      const TStringPlace& place = tables_.Places[static_cast<std::size_t>(code)];
      if (place.Length == 0) {
        if (!Unwind(code, false, current)) return false;
      } else {
        Copy(place);
        current.Length = place.Length;
        current.FirstPixel = place.FirstPixel;
      }
    } else if (previous_.Length == kNotCopyable) {
      if (!Unwind(previousCode_, true, current)) return false;
    } else {
      // Not yet defined: the previous string followed by its own first pixel.
      Copy(previous_);
      PutPixel(previous_.FirstPixel, writer_);
      current.FirstPixel = previous_.FirstPixel;
      current.Length = code == nextFreeCode_ ? static_cast<std::uint16_t>(previous_.Length + 1) : kNotCopyable;
    }
    AddTableEntry(current.FirstPixel);
    previous_ = current;
    previousCode_ = code;
    return true;
  }

  // The previous string plus the current first pixel becomes the next entry;
  // the width grows with the table up to 12 bits, where the table stays full
  // until a clear code.
  void AddTableEntry(std::uint8_t firstPixel) {
    if (tableFull_) return;
    const auto entry = static_cast<std::size_t>(nextFreeCode_);
    tables_.Prefix[entry] = static_cast<std::uint16_t>(previousCode_);
    tables_.Suffix[entry] = firstPixel;
    tables_.Places[entry] = previous_;
    tables_.Places[entry].Length = static_cast<std::uint16_t>(previous_.Length + 1);  // kNotCopyable + 1 == 0
    if (++nextFreeCode_ < capacity_) return;
    if (reader_.CodeWidth < kMaxCodeWidth) {
      SetCodeWidth(reader_, reader_.CodeWidth + 1);
      capacity_ <<= 1;
    } else {
      tableFull_ = true;
    }
  }

  // Follows the prefix chain, pushing pixels, then writes them first to last.
  // definingString: the code is not yet defined, so unwind the previous code
  // and end with the previous first pixel. False when the chain outgrows the
  // stack, which no well-formed table can do.
  bool Unwind(int code, bool definingString, TStringPlace& current) {
    auto& stack = tables_.Stack;
    int count = 0;
    int chain = code;
    if (definingString) stack[count++] = previous_.FirstPixel;
    while (chain >= clearCode_) {
      if (count == kTableSize) return false;
      stack[count++] = tables_.Suffix[static_cast<std::size_t>(chain)];
      chain = tables_.Prefix[static_cast<std::size_t>(chain)];
    }
    current.FirstPixel = TablePixel(chain);
    current.Length = kNotCopyable;  // its chain may still change
    stack[count++] = current.FirstPixel;
    while (count > 0 && writer_.Row < writer_.Height) PutPixel(stack[--count], writer_);
    return true;
  }

  // Copies a string written earlier to the current place. Its source lies
  // wholly before the current place.
  void Copy(const TStringPlace& source) {
    const int length = source.Length;
    const int toRoom = writer_.Width - writer_.Column;
    if (length > source.Room || length > toRoom) {
      CopyAcrossRows(source);
      return;
    }
    std::uint8_t* to = writer_.Line + writer_.Column;
    // A short string goes as one 16-byte block when both rows have room; the
    // bytes past it are rewritten by the strings that follow.
    if (length <= 16 && source.Room >= 16 && toRoom >= 16)
      CopyBlock16(to, source.From);
    else
      std::memmove(to, source.From, static_cast<std::size_t>(length));
    if ((writer_.Column += length) == writer_.Width) AdvancePixelRow(writer_);
  }

  void CopyAcrossRows(const TStringPlace& source) {
    const std::uint8_t* from = source.From;
    int fromRoom = source.Room;
    std::size_t rowIndex = source.RowIndex;
    int length = source.Length;
    while (length > 0 && writer_.Row < writer_.Height) {
      const int piece = std::min({length, fromRoom, writer_.Width - writer_.Column});
      std::memmove(writer_.Line + writer_.Column, from, static_cast<std::size_t>(piece));
      length -= piece;
      from += piece;
      if ((fromRoom -= piece) == 0 && length > 0) {
        if (++rowIndex >= writer_.RowLines.size()) break;  // cannot happen: the source lies behind
        from = writer_.RowLines[rowIndex];
        fromRoom = writer_.Width;
      }
      if ((writer_.Column += piece) == writer_.Width) AdvancePixelRow(writer_);
    }
  }

  void NotifyRunning() {
    const auto percent = static_cast<std::uint64_t>(source_.Position()) * 100 / source_.Size();
    progress_(psRunning, static_cast<int>(percent), kNoMessage);
  }

  TCompressedSource& source_;
  TPixelWriter& writer_;
  TDecoderTables& tables_;
  const DecodeProgressSink& progress_;
  TCodeReader reader_;
  const int pixelMask_;  // pixel values of the colour table
  const int minimumCodeSize_;
  const int clearCode_;  // codes below it are pixel values
  const int endCode_;
  const int firstFreeCode_;
  int nextFreeCode_;
  int capacity_;  // 2^code width
  bool tableFull_ = false;
  int previousCode_ = 0;
  // The previous code's string as written, length kNotCopyable when it is
  // not its code's string for good.
  TStringPlace previous_{nullptr, 0, kNotCopyable, 0, 0};
  const bool notifyRunning_;
  bool corrupted_ = false;
};

int ReadMinimumCodeSize(TCompressedSource& source) {
  const int size = source.ReadByte();
  if (size < 2 || size > 9) throw EInvalidGraphicOperation(kCodeSizeRangeMessage);
  return size;
}

bool RunDecoder(TCompressedSource& source, TPixelWriter& writer, TDecoderTables& tables, int pixelBits,
                const DecodeProgressSink& progress) {
  const int minimumCodeSize = ReadMinimumCodeSize(source);
  return TFrameDecoder(source, writer, tables, pixelBits, minimumCodeSize, progress).Run();
}

}  // namespace

std::uint64_t MostDecodablePixels(std::span<const std::uint8_t> data) {
  if (data.empty()) return 0;
  // Codes are at least one bit wider than the code size (a bad size byte
  // fails later; count its codes as narrow as any can be).
  const int size = data[0];
  const int narrowestCode = size >= 2 && size <= 9 ? size + 1 : 3;
  const std::uint64_t codes = 8 * std::uint64_t{data.size() - 1} / static_cast<unsigned>(narrowestCode);
  return codes * (kTableSize + 1);
}

bool DecodeFrameBits(TCompressedSource& source, const TFrameFormat& format, int bitsPerPixel,
                     const DecodeProgressSink& progress, std::span<std::uint8_t> pixels) {
  // Pixel values are kept below 2^pixelBits, so they always fit the depth.
  if (bitsPerPixel < PickDibDepth(format.PixelBits))
    throw std::invalid_argument("bitmap depth below the frame's colour depth");
  TPixelWriter writer = StartPixelWriter(format, bitsPerPixel, pixels);
  const auto tables = std::make_unique<TDecoderTables>();
  Notify(progress, psStarting, 0, kNoMessage);
  bool corrupted = false;
  try {
    corrupted = RunDecoder(source, writer, *tables, format.PixelBits, progress);
  } catch (const std::exception& failure) {
    Notify(progress, psEnding, 0, failure.what());
    throw;
  } catch (...) {
    Notify(progress, psEnding, 0, kNoMessage);
    throw;
  }
  Notify(progress, psEnding, 100, kNoMessage);
  return corrupted;
}

}  // namespace quickintro::gif
