#include "quickintro/gif/lzw_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

#include "quickintro/gif/code_reader.h"
#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/lzw_table.h"
#include "quickintro/gif/pixel_writer.h"

namespace quickintro::gif {
namespace {

constexpr unsigned kTableSize = 1u << kMaxCodeWidth;  // 4096 codes
// A code whose links unwind to more pixels than this is damage.
constexpr std::size_t kStackSize = kTableSize + 1;
// Strings up to this long are copied with one store of this many bytes, and
// longer ones in blocks of it; the writer keeps as many readable bytes
// behind every pixel.
constexpr std::size_t kBlock = kByteRowSlack;
// Tables of fewer codes do not choose the loop for the next table.
constexpr unsigned kJudgedCodes = 256;

// Every pixel value as a one-pixel string, with kBlock readable bytes
// behind it.
constexpr std::array<std::uint8_t, 256 + kBlock> kPixelValues = [] {
  std::array<std::uint8_t, 256 + kBlock> values{};
  for (std::size_t i = 0; i < 256; ++i) values[i] = static_cast<std::uint8_t>(i);
  return values;
}();

// Where the loop stands. The loop keeps a copy in a local variable, whose
// fields live in registers (a store of a pixel may alias anything in memory,
// so state kept in members would be read again after every one); the slow
// paths work on the decoder's member.
struct TLoopState {
  unsigned Width = 0;     // of the next code
  unsigned NextFree = 0;  // the next code to define; kTableSize when the table is full
  std::uint8_t* Out = nullptr;
  std::uint8_t* RowEnd = nullptr;  // the current row is complete once Out reaches it
  // The entry the next code adds, but for its Suffix: the previous code's
  // string as written and one pixel more.
  TTableEntry Pending{};
};

// What a slow path did.
enum TStep : std::uint8_t {
  stGoOn,       // a string written and the pending entry added
  stRestarted,  // a clear code and the pixel after it: nothing to add
  stStop,       // the end code, the end of the data or damage
  stComplete,   // the frame's last row is full
};

// A string written by a slow path.
struct TWritten {
  TStep Step = stStop;
  unsigned Length = 0;  // 0 when it is not the code's string for good
  std::uint8_t First = 0;
};

const std::string kNoMessage;

void Notify(const DecodeProgressSink& progress, TProgressStage stage, int percent, const std::string& message) {
  if (progress) progress(stage, percent, message);
}

inline void CopyBlock(std::uint8_t* to, const std::uint8_t* from) {
  std::uint8_t block[kBlock];  // loaded whole before the store: the ranges may overlap
  std::memcpy(block, from, kBlock);
  std::memcpy(to, block, kBlock);
}

// Copies an earlier string, which ends before to, in blocks when to has room
// for the last block's spill, which the strings after it rewrite.
inline void CopyString(std::uint8_t* to, const std::uint8_t* from, std::size_t length, std::size_t room) {
  if (room < (length + kBlock - 1) / kBlock * kBlock) {
    std::memcpy(to, from, length);
    return;
  }
  for (std::size_t done = 0; done < length; done += kBlock) CopyBlock(to + done, from + done);
}

// Decodes as the plain method does, each string unwound from the links of
// the table, but copies a string from where it already stands whenever that
// is known, which gives the same pixels: strings are long where pictures are
// flat, and a copy costs little per pixel. The common codes take the loop in
// DecodeCodes; everything else (clear and end codes, strings that break at a
// row's end, damage) the slow paths below it.
class TFrameDecoder {
 public:
  TFrameDecoder(TByteCursor& source, TPixelWriter& writer, int pixelBits, int minimumCodeSize,
                const DecodeProgressSink& progress)
      : source_(source), writer_(writer), progress_(progress), notifyRunning_(progress && source.Size() > 0),
        pixelMask_((1u << pixelBits) - 1), minimumCodeSize_(static_cast<unsigned>(minimumCodeSize)),
        clearCode_(1u << minimumCodeSize), endCode_(clearCode_ + 1), firstFreeCode_(clearCode_ + 2),
        literalEnd_(std::min(clearCode_ - 1, pixelMask_)), definedEnd_(firstFreeCode_) {
    SetFixedEntries();
  }

  // Decodes until the end code, the last row, damage or the end of the data.
  // Returns the corrupted flag.
  bool Run() {
    if (writer_.Row >= writer_.Height) return false;  // nothing to fill, nothing read
    state_.Out = writer_.RowStart;
    state_.RowEnd = writer_.RowEnd;
    TStep step = RestartTable();  // a frame starts as if with a clear code
    while (step == stRestarted) step = DecodeCodes();
    if (step == stComplete) ReadAfterLastRow();
    FinishPixelWriter(writer_, state_.Out);
    return corrupted_;
  }

 private:
  // The pixel values are one-pixel strings, with their own value as Prefix
  // (a pixel value has no links to follow); those beyond the colour table,
  // and the clear and end codes, take the slow paths.
  void SetFixedEntries() {
    for (unsigned code = 0; code < firstFreeCode_; ++code) {
      const bool pixel = code < clearCode_ && code <= pixelMask_;
      const auto value = static_cast<std::uint8_t>(pixel ? code : 0);
      entries_[code] = {pixel ? &kPixelValues[code] : nullptr, PackHead(pixel, 0), PackLinks(value, value, 0)};
    }
  }

  // The codes up to the next clear code, or to the end.
  TStep DecodeCodes() {
    if (notifyRunning_) return writer_.ByteRows ? DecodeCodes<true, true>() : DecodeCodes<true, false>();
    if (writer_.ByteRows) return pixelPath_ ? DecodeCodes<false, true, true>() : DecodeCodes<false, true, false>();
    return pixelPath_ ? DecodeCodes<false, false, true>() : DecodeCodes<false, false, false>();
  }

  // The loop over the codes. WithProgress: notify after each code. InByteRows:
  // the rows follow each other in the writer's byte rows, so that a string
  // never breaks at a row's end. PixelPath: pixel values take a path of
  // their own, which saves work where they make most of the codes (noise)
  // but costs a mispredicted branch wherever they come at random between
  // table codes (photographs), so it is chosen per table (see JudgeTable).
  // The slow paths work on state_; hand and take move the loop's copy
  // across.
  template <bool WithProgress, bool InByteRows, bool PixelPath = false>
  TStep DecodeCodes() {
    TLoopState s = state_;
    unsigned bitPosition = reader_.BitPosition;
    auto hand = [&] {
      state_ = s;
      reader_.BitPosition = bitPosition;
    };
    auto take = [&] {
      s = state_;
      bitPosition = reader_.BitPosition;
    };
    std::uint8_t* const bytesEnd = writer_.BytesEnd;
    // Writes at Out the string of an entry that stands in one piece, when
    // the row has room for it; the code being defined is followed by its own
    // first pixel. False leaves the code to the slow paths.
    auto copyString = [&](auto definingCode, TTableEntry string, unsigned code) {
      constexpr unsigned kDefining = decltype(definingCode)::value;
      std::uint8_t* const start = s.Out;
      const unsigned length = CopyLengthOf(string.Head);
      const std::uint8_t first = FirstOf(string.Links);
      const auto room = static_cast<std::size_t>((InByteRows ? bytesEnd + kByteRowSlack : s.RowEnd) - start);
      if (length - 1u < kBlock && room > kBlock) [[likely]] {
        AddPending(s, first);
        CopyBlock(start, string.From);
        start[length - kDefining] = first;  // the defining string's last pixel, else rewritten later
      } else if (length - 1u < static_cast<std::size_t>((InByteRows ? bytesEnd : s.RowEnd) - start)) {
        AddPending(s, first);
        CopyString(start, string.From, length - kDefining, room);
        if (kDefining) start[length - 1] = first;
      } else {
        return false;
      }
      s.Out = start + length;
      s.Pending = PendingEntryOf(start, string, code);
      return true;
    };
    for (;;) {
      int code;
      if (bitPosition + s.Width <= reader_.BitsHeld) [[likely]] {
        code = static_cast<int>(CodeBitsAt(reader_, bitPosition) & codeMask_);
        bitPosition += s.Width;
        if constexpr (WithProgress) NotifyRunning();
      } else {
        hand();
        code = NextCode(source_, reader_, s.Width);
        take();
        if constexpr (WithProgress) NotifyRunning();
        if (code == kNoMoreCodes) {
          corrupted_ = true;  // the data end before the last row
          break;
        }
      }
      const auto value = static_cast<unsigned>(code);
      bool written;
      if (PixelPath && value <= literalEnd_) {
        // A pixel value, written as it is. The links of its entry are those
        // of the pending entry it makes.
        const std::uint32_t links = entries_[value].Links;
        AddPending(s, static_cast<std::uint8_t>(value));
        *s.Out = static_cast<std::uint8_t>(value);
        s.Pending = {s.Out++, 2, links};
        written = true;
      } else if (value < s.NextFree) {
        written = copyString(std::false_type{}, entries_[value], value);
      } else {
        written = value == s.NextFree && copyString(std::true_type{}, s.Pending, value);
      }
      if (!written) {
        hand();
        const TStep step = DecodeUncommon(value);
        take();
        if (step != stGoOn) return step;
      }
      if (s.Out >= s.RowEnd) [[unlikely]] {
        hand();
        const bool more = FinishRows();
        take();
        if (!more) return stComplete;
      }
    }
    hand();
    return stStop;
  }

  // The pending entry, with the first pixel of the string that followed it,
  // becomes the next free code; the width grows with the table up to 12
  // bits, where the table stays full until a clear code.
  void AddPending(TLoopState& s, std::uint8_t first) {
    if (s.NextFree >= kTableSize) return;
    entries_[s.NextFree] = {s.Pending.From, s.Pending.Head, WithSuffix(s.Pending.Links, first)};
    if (++s.NextFree == growAt_) [[unlikely]] {
      if (s.Width < kMaxCodeWidth) ++s.Width;
      SetWidth(s.Width);
    }
  }

  // The code width and what follows from it; at 12 bits the table grows no
  // more.
  void SetWidth(unsigned width) {
    codeMask_ = (TCodeBits{1} << width) - 1;
    growAt_ = width < kMaxCodeWidth ? 1u << width : kTableSize;
  }

  // A clear code: back to the first table and width. Clear codes in a row
  // count as one; the code after them must be a pixel value, which starts
  // the new table and adds no entry. Anything else stops the frame: the end
  // code, the end of the data, or a table code, which nothing defines yet
  // (damage).
  TStep RestartTable() {
    TLoopState& s = state_;
    JudgeTable();
    definedEnd_ = std::max(definedEnd_, s.NextFree);
    s.Width = minimumCodeSize_ + 1;
    SetWidth(s.Width);
    s.NextFree = firstFreeCode_;
    int code;
    do {
      code = NextCode(source_, reader_, s.Width);
    } while (code == static_cast<int>(clearCode_));
    if (code == kNoMoreCodes) corrupted_ = true;  // the data end before the last row
    if (code == kNoMoreCodes || code == static_cast<int>(endCode_)) return stStop;
    if (code > static_cast<int>(endCode_)) {
      corrupted_ = true;
      return stStop;
    }
    const std::uint8_t pixel = TablePixel(static_cast<unsigned>(code));
    std::uint8_t* const start = s.Out;
    const int row = writer_.Row;
    const bool more = WritePixel(pixel);
    const std::size_t firstPiece = !writer_.ByteRows && writer_.Row != row ? 1 : 0;  // it ended a row
    s.Pending = {start, PackHead(2, firstPiece), PackLinks(static_cast<unsigned>(code), pixel, 0)};
    return more ? stRestarted : stComplete;
  }

  // The table that ends chooses the loop for the next one: the path for
  // pixel values pays where the codes gave fewer than 1.25 pixels each, so
  // that nearly all were pixel values.
  void JudgeTable() {
    const std::uint64_t written = PixelsWritten(writer_, state_.Out);
    const unsigned codes = state_.NextFree > firstFreeCode_ ? state_.NextFree - firstFreeCode_ : 0;
    if (codes >= kJudgedCodes) pixelPath_ = (written - tableStart_) * 4 < std::uint64_t{codes} * 5;
    tableStart_ = written;
  }

  // Codes the loop leaves: clear and end codes, a code above the next free
  // code, strings unwound or breaking at a row's end, and strings written
  // close to the end of a row or of the frame. Adds the pending entry and
  // makes the next one, as the loop does. Kept out of the loop, whose
  // registers it would take.
  [[gnu::noinline]] TStep DecodeUncommon(unsigned code) {
    if (code == clearCode_) return RestartTable();
    if (code == endCode_) return stStop;
    TLoopState& s = state_;
    std::uint8_t* const start = s.Out;
    const int row = writer_.Row;
    const auto room = static_cast<std::size_t>(s.RowEnd - start);
    const TWritten written = code >= s.NextFree ? WriteDefiningString(code) : WriteEntry(code);
    if (written.Step != stGoOn) return written.Step;
    // A string that went on past the end of its row breaks there.
    const std::size_t firstPiece = !writer_.ByteRows && writer_.Row != row ? room : 0;
    AddPending(s, written.First);
    const unsigned pendingLength = written.Length + (written.Length != 0);
    s.Pending = {start, PackHead(pendingLength, firstPiece), PackLinks(code, written.First, 0)};
    return stGoOn;
  }

  TWritten WriteEntry(unsigned code) {
    const TTableEntry entry = entries_[code];
    const unsigned length = LengthOf(entry.Head);
    if (length == 0) return Unwind(code, false);
    const bool more = WriteFromOutput(entry.From, length, FirstPieceOf(entry.Head));
    return {more ? stGoOn : stComplete, length, FirstOf(entry.Links)};
  }

  // A code not yet defined: the previous string followed by its own first
  // pixel, as pending. Only the code being defined names that string for
  // good; a code above it becomes the previous code all the same, though
  // nothing defines it, so what follows is unwound from the links.
  TWritten WriteDefiningString(unsigned code) {
    const TTableEntry pending = state_.Pending;
    const unsigned length = LengthOf(pending.Head);
    const std::uint8_t first = FirstOf(pending.Links);
    if (length == 0) return Unwind(PrefixOf(pending.Links), true);
    if (!WriteFromOutput(pending.From, length - 1, FirstPieceOf(pending.Head)) || !WritePixel(first))
      return {stComplete};
    return {stGoOn, code == state_.NextFree ? length : 0, first};
  }

  // Follows the links from code, pixels going onto the stack from its top
  // down, then writes them first to last. definingString: the code is not
  // yet defined, so unwind the previous code and end with the previous first
  // pixel. Stops the frame as damaged when the links outgrow the stack,
  // which no well-formed table can do.
  TWritten Unwind(unsigned code, bool definingString) {
    auto& stack = stack_;
    std::size_t top = kStackSize;
    if (definingString) stack[--top] = FirstOf(state_.Pending.Links);
    const unsigned definedEnd = std::max(definedEnd_, state_.NextFree);
    unsigned chain = code;
    while (chain >= clearCode_) {
      if (kStackSize - top == kTableSize) {
        corrupted_ = true;
        return {stStop};
      }
      // An entry never defined in this frame unwinds as zeros.
      const std::uint32_t links = chain < definedEnd ? entries_[chain].Links : 0;
      stack[--top] = SuffixOf(links);
      chain = PrefixOf(links);
    }
    const std::uint8_t first = TablePixel(chain);
    stack[--top] = first;
    return {WriteBytes(stack.data() + top, kStackSize - top) ? stGoOn : stComplete, 0, first};
  }

  // A pixel value as the bitmap keeps it: one beyond the colour table marks
  // the frame damaged and is cut to the table's bits, so that it shows a
  // colour of the table and never spills into a neighbouring pixel.
  std::uint8_t TablePixel(unsigned value) {
    if (value > pixelMask_) corrupted_ = true;
    return static_cast<std::uint8_t>(value & pixelMask_);
  }

  // Copies an earlier string; after its first piece it goes on at the start
  // of the row that follows. False once the frame is complete.
  bool WriteFromOutput(const std::uint8_t* from, std::size_t length, std::size_t firstPiece) {
    std::size_t piece = std::min(length, firstPiece);
    for (;;) {
      if (!WriteBytes(from, piece)) return false;
      if ((length -= piece) == 0) return true;
      from = FollowingRowStart(writer_, from + piece);
      piece = std::min(length, static_cast<std::size_t>(writer_.Width));
    }
  }

  // Writes pixels at Out, row after row; drops those past the last row.
  // from is readable kBlock bytes past any pixel copied. False once the frame
  // is complete.
  bool WriteBytes(const std::uint8_t* from, std::size_t count) {
    TLoopState& s = state_;
    while (count > 0) {
      const auto rowSpace = static_cast<std::size_t>(s.RowEnd - s.Out);
      const std::size_t piece = std::min(count, rowSpace);
      CopyString(s.Out, from, piece, writer_.ByteRows ? static_cast<std::size_t>(writer_.BytesEnd - s.Out) : rowSpace);
      s.Out += piece;
      from += piece;
      count -= piece;
      if (s.Out == s.RowEnd && !NextRow()) return false;
    }
    return true;
  }

  bool WritePixel(std::uint8_t value) {
    *state_.Out++ = value;
    return state_.Out != state_.RowEnd || NextRow();
  }

  // Out has reached the end of the current row (or passed it, where the
  // rows follow each other in the byte rows): on to the next row. The
  // pending string, which ends a row, breaks there once its last pixel is
  // added. False once the frame is complete.
  [[gnu::noinline]] bool FinishRows() {
    TTableEntry& pending = state_.Pending;
    if (!writer_.ByteRows && LengthOf(pending.Head) != 0) pending.Head |= BrokenAfter(LengthOf(pending.Head) - 1);
    while (state_.Out >= state_.RowEnd)
      if (!NextRow()) return false;
    return true;
  }

  bool NextRow() {
    if (!AdvancePixelRow(writer_)) return false;
    if (!writer_.ByteRows) state_.Out = writer_.RowStart;
    state_.RowEnd = writer_.RowEnd;
    return true;
  }

  // The frame is complete; the code after it is still read (it may be cut
  // short, which fails), and notified, but not decoded.
  void ReadAfterLastRow() {
    NextCode(source_, reader_, state_.Width);
    if (notifyRunning_) NotifyRunning();
  }

  void NotifyRunning() const {
    const auto percent = static_cast<std::uint64_t>(source_.Position()) * 100 / source_.Size();
    progress_(psRunning, static_cast<int>(percent), kNoMessage);
  }

  TCodeReader reader_;  // first: the loop loads codes from its buffer, at the decoder's own address
  TByteCursor& source_;
  TPixelWriter& writer_;
  const DecodeProgressSink& progress_;
  const bool notifyRunning_;
  const unsigned pixelMask_;  // pixel values of the colour table
  const unsigned minimumCodeSize_;
  const unsigned clearCode_;  // codes below it are pixel values
  const unsigned endCode_;
  const unsigned firstFreeCode_;
  const unsigned literalEnd_;  // the largest code that is a pixel value of the colour table
  unsigned definedEnd_;  // entries at and above it (and the next free code) are not defined in this frame
  bool pixelPath_ = false;      // the loop's path for pixel values, see DecodeCodes
  std::uint64_t tableStart_ = 0;  // pixels written before the current table
  // Of the current width, read by the loop from here: they change seldom,
  // and a register is worth more.
  TCodeBits codeMask_ = 0;
  unsigned growAt_ = 0;  // the width grows when the next free code reaches it
  TLoopState state_;
  bool corrupted_ = false;
  // Not cleared: the entries of the pixel values, the clear and the end code
  // are set at the start, and the others are read only once defined (see
  // definedEnd_).
  std::array<TTableEntry, kTableSize> entries_;
  std::array<std::uint8_t, kStackSize + kBlock> stack_;  // readable a block past its last pixel
};

int ReadMinimumCodeSize(TByteCursor& source) {
  const std::optional<std::uint8_t> size = source.TakeByte();
  if (!size) throw EReadError();
  if (*size < 2 || *size > 9) throw EInvalidGraphicOperation(kCodeSizeRangeMessage);
  return *size;
}

bool RunDecoder(TByteCursor& source, TPixelWriter& writer, int pixelBits, const DecodeProgressSink& progress) {
  const int minimumCodeSize = ReadMinimumCodeSize(source);
  // About 70 KiB, on the stack: freed with the heap's other blocks at its
  // top, it would make the heap give its memory back and take it anew, page
  // by page, for the next frame's bitmap.
  TFrameDecoder decoder(source, writer, pixelBits, minimumCodeSize, progress);
  return decoder.Run();
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

bool DecodeFrameBits(TByteCursor& source, const TFrameFormat& format, int bitsPerPixel,
                     const DecodeProgressSink& progress, std::span<std::uint8_t> pixels) {
  // Pixel values are kept below 2^pixelBits, so they always fit the depth.
  if (bitsPerPixel < PickDibDepth(format.PixelBits))
    throw std::invalid_argument("bitmap depth below the frame's colour depth");
  TPixelWriter writer = StartPixelWriter(format, bitsPerPixel, pixels);
  Notify(progress, psStarting, 0, kNoMessage);
  bool corrupted = false;
  try {
    corrupted = RunDecoder(source, writer, format.PixelBits, progress);
  } catch (const std::exception& failure) {
    Notify(progress, psEnding, 0, failure.what());
    throw;
  }
  Notify(progress, psEnding, 100, kNoMessage);
  return corrupted;
}

}  // namespace quickintro::gif
