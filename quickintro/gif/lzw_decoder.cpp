#include "lzw_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "code_reader.h"
#include "dib_writer.h"
#include "graphic_error.h"
#include "pixel_writer.h"

namespace quickintro::gif {
namespace {

constexpr int kTableSize = 1 << kMaxCodeWidth;  // 4096 codes

// Where a table code's whole string already stands in the frame, so that it
// is copied from there in one go. length 0: not known to stand anywhere (its
// chain reaches entries that may still change), so it is unwound through the
// stack instead, which gives the same pixels.
struct StringPlace {
  std::uint16_t rowIndex = 0;  // into PixelWriter::rowLines
  std::uint16_t column = 0;
  std::uint16_t length = 0;
  std::uint8_t firstPixel = 0;
};

// Taken once per frame and zero-filled, so that codes never defined unwind
// to zeros. Every index is a code (< 4096) or a stack count (<= 4096).
struct DecoderTables {
  std::array<std::uint16_t, kTableSize> prefix{};  // the code's string without its last pixel
  std::array<std::uint8_t, kTableSize> suffix{};   // its last pixel, <= the pixel mask
  std::array<StringPlace, kTableSize> places{};
  std::array<std::uint8_t, kTableSize + 1> stack{};
};

// The string the previous code put into the frame. copyable: it is the string
// that code unwinds to, and stays so until the next clear code; only then can
// an entry built on it be copied from the frame.
struct WrittenString {
  int rowIndex = 0;
  int column = 0;
  int length = 0;
  unsigned firstPixel = 0;
  bool copyable = false;
};

const std::string kNoMessage;

void Notify(const DecodeProgressSink& progress, DecodeStage stage, int percent,
            const std::string& message) {
  if (progress) progress(stage, percent, message);
}

inline void CopyBlock16(std::uint8_t* to, const std::uint8_t* from) {
  std::uint8_t block[16];  // loaded whole before the store: the ranges may overlap
  std::memcpy(block, from, sizeof block);
  std::memcpy(to, block, sizeof block);
}

template <int Bits>
class FrameDecoder {
 public:
  FrameDecoder(CompressedSource& source, PixelWriter& writer, DecoderTables& tables,
               int pixelBits, int minimumCodeSize, const DecodeProgressSink& progress)
      : source_(source), writer_(writer), tables_(tables), progress_(progress),
        pixelMask_((1 << pixelBits) - 1), minimumCodeSize_(minimumCodeSize),
        clearCode_(1 << minimumCodeSize), endCode_(clearCode_ + 1), firstFreeCode_(clearCode_ + 2),
        nextFreeCode_(firstFreeCode_), capacity_(1 << (minimumCodeSize + 1)),
        notifyRunning_(progress && source.Size() > 0) {
    SetCodeWidth(reader_, minimumCodeSize + 1);
  }

  // Decodes until the end code, the last row, damage or the end of the data.
  // Returns the corrupted flag.
  bool Run() {
    int code = NextCode(source_, reader_);
    while (code != endCode_ && code != kNoMoreCodes && writer_.row < writer_.height) {
      if (code == clearCode_) {
        if (!RestartTable()) break;
      } else if (!DecodeCode(code)) {
        corrupted_ = true;
        break;
      }
      code = NextCode(source_, reader_);
      if (notifyRunning_) NotifyRunning();
    }
    if ((code == kNoMoreCodes || dataRanOut_) && writer_.row < writer_.height) corrupted_ = true;
    ClearRestOfRow();
    return corrupted_;
  }

 private:
  int CurrentRowIndex() const { return static_cast<int>(writer_.rowLines.size()) - 1; }

  // A clear code: back to the first table and width. The next code is always
  // taken as a pixel value and adds no entry. False when the data end first.
  bool RestartTable() {
    SetCodeWidth(reader_, minimumCodeSize_ + 1);
    capacity_ = 1 << (minimumCodeSize_ + 1);
    nextFreeCode_ = firstFreeCode_;
    tableFull_ = false;
    const int code = NextCode(source_, reader_);
    if (code == kNoMoreCodes) {
      dataRanOut_ = true;
      return false;
    }
    previousCode_ = code;
    firstPixel_ = static_cast<unsigned>(code & pixelMask_);
    previous_ = {CurrentRowIndex(), writer_.column, 1, firstPixel_, code <= pixelMask_};
    WritePixel(firstPixel_);
    return true;
  }

  // Writes the string of a code other than clear and end and adds the table
  // entry it implies. False when the string cannot be unwound (damaged data).
  bool DecodeCode(int code) {
    WrittenString current{CurrentRowIndex(), writer_.column, 0, 0, false};
    if (code >= nextFreeCode_) {
      // Not yet defined: the previous string followed by its own first pixel.
      if (!previous_.copyable) {
        if (!Unwind(previousCode_, true)) return false;
      } else {
        CopyFromFrame(previous_.rowIndex, previous_.column, previous_.length);
        WritePixel(firstPixel_);
        current.length = previous_.length + 1;
        current.copyable = code == nextFreeCode_ && code > pixelMask_;
      }
    } else if (code <= pixelMask_) {
      firstPixel_ = static_cast<unsigned>(code);
      WritePixel(firstPixel_);
      current.length = 1;
      current.copyable = true;
    } else if (const StringPlace place = tables_.places[code]; place.length != 0) {
      CopyFromFrame(place.rowIndex, place.column, place.length);
      firstPixel_ = place.firstPixel;
      current.length = place.length;
      current.copyable = true;
    } else if (!Unwind(code, false)) {
      return false;
    }
    current.firstPixel = firstPixel_;
    AddTableEntry();
    previous_ = current;
    previousCode_ = code;
    return true;
  }

  // The previous string plus the current first pixel becomes the next entry;
  // the width grows with the table up to 12 bits, where the table stays full
  // until a clear code.
  void AddTableEntry() {
    if (tableFull_) return;
    const int entry = nextFreeCode_;
    tables_.prefix[entry] = static_cast<std::uint16_t>(previousCode_);
    tables_.suffix[entry] = static_cast<std::uint8_t>(firstPixel_);
    tables_.places[entry] =
        previous_.copyable
            ? StringPlace{static_cast<std::uint16_t>(previous_.rowIndex),
                          static_cast<std::uint16_t>(previous_.column),
                          static_cast<std::uint16_t>(previous_.length + 1),
                          static_cast<std::uint8_t>(previous_.firstPixel)}
            : StringPlace{};
    if (++nextFreeCode_ < capacity_) return;
    if (reader_.codeWidth < kMaxCodeWidth) {
      SetCodeWidth(reader_, reader_.codeWidth + 1);
      capacity_ <<= 1;
    } else {
      tableFull_ = true;
    }
  }

  // Follows the prefix chain, pushing pixels, then writes them first to last.
  // definingString: the code is not yet defined, so unwind the previous code
  // and end with the previous first pixel. False when the chain outgrows the
  // stack, which no well-formed table can do.
  bool Unwind(int code, bool definingString) {
    auto& stack = tables_.stack;
    int count = 0;
    int current = code;
    if (definingString) stack[count++] = static_cast<std::uint8_t>(firstPixel_);
    while (current > pixelMask_) {
      if (count == kTableSize) return false;
      stack[count++] = tables_.suffix[current];
      current = tables_.prefix[current];
    }
    firstPixel_ = static_cast<unsigned>(current);
    stack[count++] = static_cast<std::uint8_t>(current);
    while (count > 0 && writer_.row < writer_.height) WritePixel(stack[--count]);
    return true;
  }

  void WritePixel(unsigned value) {
    if (writer_.row >= writer_.height) return;
    StorePixel<Bits>(writer_.line, writer_.column, value);
    if (++writer_.column == writer_.width) AdvancePixelRow(writer_);
  }

  // Copies length pixels written earlier, from (rowIndex, column) on, to the
  // current place. The source always lies wholly before the current place.
  void CopyFromFrame(int rowIndex, int column, int length) {
    if constexpr (Bits == 8) {
      const int fromRoom = writer_.width - column;
      const int toRoom = writer_.width - writer_.column;
      if (length <= fromRoom && length <= toRoom) {  // the usual case: one piece
        const std::uint8_t* from = writer_.rowLines[rowIndex] + column;
        std::uint8_t* to = writer_.line + writer_.column;
        // A short string goes as one 16-byte block when both rows have room;
        // the bytes past it are rewritten by the strings that follow.
        if (length <= 16 && fromRoom >= 16 && toRoom >= 16)
          CopyBlock16(to, from);
        else
          std::memmove(to, from, static_cast<std::size_t>(length));
        if ((writer_.column += length) == writer_.width) AdvancePixelRow(writer_);
        return;
      }
    }
    CopyAcrossRows(rowIndex, column, length);
  }

  void CopyAcrossRows(int rowIndex, int column, int length) {
    const int rowsStarted = static_cast<int>(writer_.rowLines.size());
    while (length > 0 && writer_.row < writer_.height && rowIndex < rowsStarted) {
      const int piece = std::min({length, writer_.width - column, writer_.width - writer_.column});
      CopyPiece(writer_.rowLines[rowIndex], column, piece);
      length -= piece;
      if ((column += piece) == writer_.width) {
        column = 0;
        ++rowIndex;
      }
      if ((writer_.column += piece) == writer_.width) AdvancePixelRow(writer_);
    }
  }

  // count pixels within one source row and the current row.
  void CopyPiece(const std::uint8_t* fromLine, int fromColumn, int count) {
    if constexpr (Bits == 8) {
      std::memmove(writer_.line + writer_.column, fromLine + fromColumn, static_cast<std::size_t>(count));
    } else {
      for (int i = 0; i < count; ++i)
        StorePixel<Bits>(writer_.line, writer_.column + i, LoadPixel<Bits>(fromLine, fromColumn + i));
    }
  }

  // 16-byte block copies may have left bytes past the last pixel of the
  // current row; pixels never reached keep index 0.
  void ClearRestOfRow() {
    if constexpr (Bits == 8) {
      if (writer_.row < writer_.height)
        std::memset(writer_.line + writer_.column, 0, static_cast<std::size_t>(writer_.width - writer_.column));
    }
  }

  void NotifyRunning() {
    const auto percent = static_cast<std::uint64_t>(source_.Position()) * 100 / source_.Size();
    progress_(dsRunning, static_cast<int>(percent), kNoMessage);
  }

  CompressedSource& source_;
  PixelWriter& writer_;
  DecoderTables& tables_;
  const DecodeProgressSink& progress_;
  CodeReader reader_;
  const int pixelMask_;  // codes up to here are pixel values
  const int minimumCodeSize_;
  const int clearCode_;
  const int endCode_;
  const int firstFreeCode_;
  int nextFreeCode_;
  int capacity_;  // 2^code width
  bool tableFull_ = false;
  int previousCode_ = 0;
  unsigned firstPixel_ = 0;  // first pixel of the latest string
  WrittenString previous_;   // before any code: nothing written, not copyable
  const bool notifyRunning_;
  bool corrupted_ = false;
  bool dataRanOut_ = false;
};

int ReadMinimumCodeSize(CompressedSource& source) {
  const int size = source.ReadByte();
  if (size < 2 || size > 9) throw EInvalidGraphicOperation(kCodeSizeRangeMessage);
  return size;
}

bool RunDecoder(CompressedSource& source, PixelWriter& writer, DecoderTables& tables,
                int pixelBits, const DecodeProgressSink& progress) {
  const int minimumCodeSize = ReadMinimumCodeSize(source);
  switch (writer.bitsPerPixel) {
    case 1: return FrameDecoder<1>(source, writer, tables, pixelBits, minimumCodeSize, progress).Run();
    case 4: return FrameDecoder<4>(source, writer, tables, pixelBits, minimumCodeSize, progress).Run();
    default: return FrameDecoder<8>(source, writer, tables, pixelBits, minimumCodeSize, progress).Run();
  }
}

}  // namespace

bool DecodeFrameBits(CompressedSource& source, const FrameFormat& format, int bitsPerPixel,
                     const DecodeProgressSink& progress, std::span<std::uint8_t> pixels) {
  // Pixel values are kept below 2^pixelBits, so they always fit the depth.
  if (bitsPerPixel < PickDibDepth(format.pixelBits))
    throw std::invalid_argument("bitmap depth below the frame's colour depth");
  PixelWriter writer = StartPixelWriter(format, bitsPerPixel, pixels);
  const auto tables = std::make_unique<DecoderTables>();
  Notify(progress, dsStart, 0, kNoMessage);
  bool corrupted = false;
  try {
    corrupted = RunDecoder(source, writer, *tables, format.pixelBits, progress);
  } catch (const std::exception& failure) {
    Notify(progress, dsEnd, 0, failure.what());
    throw;
  } catch (...) {
    Notify(progress, dsEnd, 0, kNoMessage);
    throw;
  }
  Notify(progress, dsEnd, 100, kNoMessage);
  return corrupted;
}

}  // namespace quickintro::gif
