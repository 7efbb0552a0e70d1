#include "quickintro/gif/gif_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {
namespace {

constexpr std::uint8_t kExtensionIntroducer = '!';
constexpr std::uint8_t kImageIntroducer = ',';
constexpr std::uint8_t kTrailer = ';';

constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kCommentLabel = 0xFE;
constexpr std::uint8_t kPlainTextLabel = 0x01;
constexpr std::uint8_t kApplicationLabel = 0xFF;

// Logical screen descriptor and image descriptor flag bits.
enum TDescriptorFlag : std::uint8_t { fColorTable = 0x80, fInterlaced = 0x40, fTableSizeMask = 0x07 };
constexpr std::uint8_t kTransparentFlag = 0x01;

// The bytes read after an extension's label, whatever its block-size byte says.
constexpr std::size_t kGraphicControlFixed = 6;
constexpr std::size_t kPlainTextFixed = 13;
constexpr std::size_t kApplicationFixed = 12;
constexpr std::size_t kImageDescriptorSize = 9;
constexpr std::size_t kScreenDescriptorSize = 7;

constexpr std::int16_t kLoopCountLimit = 30000;

bool SameLetters(std::span<const std::uint8_t> bytes, const char* expected) {
  for (std::size_t i = 0; expected[i] != '\0'; ++i)
    if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(expected[i]))) return false;
  return true;
}

// A field of a descriptor taken whole.
std::uint32_t Field(TByteCursor& fields, std::size_t size) { return fields.TakeLe(size).value(); }

// The next data sub-block, as far as the data hold it; nothing at the
// terminator or the end of the data.
std::optional<std::span<const std::uint8_t>> NextSubBlock(TByteCursor& data) {
  const std::optional<std::uint8_t> length = data.TakeByte();
  if (!length || *length == 0) return std::nullopt;
  return data.Take(std::min<std::size_t>(*length, data.Remaining()));
}

std::span<const std::uint8_t> TakeSubBlocks(TByteCursor& data) {
  const std::size_t start = data.Position();
  while (NextSubBlock(data)) {
  }
  return data.Bytes().subspan(start, data.Position() - start);
}

// 2, 4, ... 256 colours give 1 to 8 bits; any other count fails.
int ColorCountToBits(int count) {
  for (int bits = 1; bits <= 8; ++bits)
    if (count == (1 << bits)) return bits;
  throw EInvalidGraphicOperation(kWrongColorCountMessage);
}

// The loop count of a "NETSCAPE2.0" application block whose first sub-block
// holds at least 3 bytes and starts with 1; nothing for any other block.
std::optional<int> LoopCountOf(const TExtension& extension) {
  static constexpr char kLoopIdentifier[] = "NETSCAPE2.0";
  constexpr std::size_t kIdentifierLength = sizeof kLoopIdentifier - 1;
  if (extension.Kind != ApplicationKind) return std::nullopt;
  // The identifier is as long as the block-size byte says; only an 11-byte
  // one can match.
  TByteCursor fixed(extension.FixedPart);
  const std::optional<std::uint8_t> identifierLength = fixed.TakeByte();
  const auto identifier = fixed.Take(kIdentifierLength);
  if (identifierLength != kIdentifierLength || !identifier ||
      !std::equal(identifier->begin(), identifier->end(), kLoopIdentifier))
    return std::nullopt;
  TByteCursor blocks(extension.SubBlockData);
  const std::optional<std::span<const std::uint8_t>> first = NextSubBlock(blocks);
  if (!first || first->size() < 3 || (*first)[0] != 1) return std::nullopt;
  TByteCursor count(first->subspan(1));
  return static_cast<int>(Field(count, 2));
}

}  // namespace

std::string UnrecognizedExtensionMessage(std::uint8_t label) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%.2X", static_cast<unsigned>(label));
  return std::string("Unrecognized extension block: ") + digits;
}

TExtension ReadOneExtension(TByteCursor& data) {
  const std::optional<std::uint8_t> label = data.TakeByte();
  if (!label) throw EReadError();
  TExtension extension;
  std::size_t fixedLength = 0;
  switch (*label) {
    case kGraphicControlLabel:
      extension.Kind = GraphicControlKind;
      fixedLength = kGraphicControlFixed;
      break;
    case kCommentLabel:
      extension.Kind = CommentKind;
      break;
    case kPlainTextLabel:
      extension.Kind = PlainTextKind;
      fixedLength = kPlainTextFixed;
      break;
    case kApplicationLabel:
      extension.Kind = ApplicationKind;
      fixedLength = kApplicationFixed;
      break;
    default:
      throw EInvalidGraphicOperation(UnrecognizedExtensionMessage(*label));
  }
  extension.FixedPart = *data.Take(std::min(fixedLength, data.Remaining()));
  if (extension.Kind != GraphicControlKind) extension.SubBlockData = TakeSubBlocks(data);
  return extension;
}

std::vector<TExtension> KeptExtensions(std::span<const std::uint8_t> run) {
  std::vector<TExtension> kept;
  TByteCursor blocks(run);
  while (blocks.TakeByte()) {  // the "!" introducer
    TExtension extension = ReadOneExtension(blocks);
    if (extension.Kind == GraphicControlKind || extension.Kind == CommentKind) kept.push_back(extension);
  }
  return kept;
}

std::vector<std::string> TExtension::SubBlocks() const {
  std::vector<std::string> strings;
  TByteCursor blocks(SubBlockData);
  while (const std::optional<std::span<const std::uint8_t>> block = NextSubBlock(blocks))
    strings.emplace_back(block->begin(), block->end());
  return strings;
}

void TGifParser::ParseBlocks() {
  ReadSignature();
  ReadScreenDescriptor();
  ReadGlobalTable();
  std::uint8_t ch = data_.TakeByte().value_or(0);
  while (ch != 0 && ch != kTrailer && !data_.AtEnd()) {
    const TExtensionRun run = ReadExtensionRun(ch);
    TGIFData& screen = *image_.screen_;
    if (ch == kImageIntroducer) {
      ReadImageBlock(run, ch);
    } else if (screen.CommentBlocks.empty() && run.Kept > 0) {
      // Comment blocks that precede no image are the picture's comment.
      if (run.HasCommentLines) screen.CommentBlocks = data_.Bytes().subspan(run.KeptFrom, run.End - run.KeptFrom);
    } else if (ch != 0 && ch != kTrailer) {
      // Neither a block nor the end where a block must begin.
      throw EInvalidGraphicOperation(kStreamReadMessage);
    }
  }
}

void TGifParser::ReadSignature() {
  image_.versionCode_ = 0;
  const std::optional<std::span<const std::uint8_t>> signature = data_.Take(6);
  if (!signature || !SameLetters(*signature, "GIF")) throw EInvalidGraphicOperation(kUnknownVersionMessage);
  if (SameLetters(signature->subspan(3), "87a")) image_.versionCode_ = 1;
  else if (SameLetters(signature->subspan(3), "89a")) image_.versionCode_ = 2;
  else throw EInvalidGraphicOperation(kUnknownVersionMessage);
}

void TGifParser::ReadScreenDescriptor() {
  const auto descriptor = data_.TakePadded<kScreenDescriptorSize>();
  TByteCursor fields(descriptor);
  image_.logicalWidth_ = static_cast<std::uint16_t>(Field(fields, 2));
  image_.logicalHeight_ = static_cast<std::uint16_t>(Field(fields, 2));
  screenFlags_ = static_cast<std::uint8_t>(Field(fields, 1));
  backgroundIndex_ = static_cast<std::uint8_t>(Field(fields, 1));
  TGIFData& screen = *image_.screen_;
  screen.AspectByte = static_cast<std::uint8_t>(Field(fields, 1));
  screen.TableBits = static_cast<std::uint8_t>((screenFlags_ & fTableSizeMask) + 1);
  screen.ColorBits = static_cast<std::uint8_t>(((screenFlags_ >> 4) & 7) + 1);
}

void TGifParser::ReadGlobalTable() {
  if ((screenFlags_ & fColorTable) == 0) return;
  TGIFData& screen = *image_.screen_;
  // A table cut short by the end of the data keeps the entries there are;
  // no frame can follow it.
  const std::size_t size = std::size_t{3} << screen.TableBits;
  const ColorTable table = *data_.Take(std::min(size, data_.Remaining()));
  screen.GlobalTable = table.first(table.size() / 3 * 3);
  if (backgroundIndex_ < ColorCount(screen.GlobalTable))
    image_.backdropColor_ = TableColor(screen.GlobalTable, backgroundIndex_);
}

TGifParser::TExtensionRun TGifParser::ReadExtensionRun(std::uint8_t& ch) {
  TExtensionRun run;
  if (ch == kExtensionIntroducer) run.KeptFrom = run.End = data_.Position() - 1;
  while (ch == kExtensionIntroducer) {
    if (data_.AtEnd()) {  // an introducer with nothing behind it ends the data
      ch = kTrailer;
      break;
    }
    const TExtension extension = ReadOneExtension(data_);
    run.End = data_.Position();
    NoteExtension(extension, run);
    ch = NextByteOrTrailer();
  }
  return run;
}

void TGifParser::NoteExtension(const TExtension& extension, TExtensionRun& run) {
  switch (extension.Kind) {
    case PlainTextKind:
      // Plain text is drawn over the picture; the blocks before it belong to
      // the text, not to the next image.
      run.KeptFrom = run.End;
      run.Kept = 0;
      run.HasCommentLines = false;
      run.Controls.clear();
      break;
    case ApplicationKind:
      if (const std::optional<int> count = LoopCountOf(extension)) {
        image_.hasLoopBlock_ = true;
        image_.loopCount_ = static_cast<std::int16_t>(std::min<int>(*count, kLoopCountLimit));
      }
      break;
    case GraphicControlKind: {
      // Six bytes: block size, flags, delay, transparent index, terminator.
      std::array<std::uint8_t, kGraphicControlFixed> bytes{};
      std::copy(extension.FixedPart.begin(), extension.FixedPart.end(), bytes.begin());
      TByteCursor fields(std::span<const std::uint8_t>(bytes).subspan(1));
      TGraphicControl control;
      control.Flags = static_cast<std::uint8_t>(Field(fields, 1));
      control.Delay = static_cast<std::uint16_t>(Field(fields, 2));
      control.TransparentIndex = static_cast<std::uint8_t>(Field(fields, 1));
      run.Controls.push_back(control);
      ++run.Kept;
      break;
    }
    case CommentKind: {
      TByteCursor blocks(extension.SubBlockData);
      run.HasCommentLines = run.HasCommentLines || NextSubBlock(blocks).has_value();
      ++run.Kept;
      break;
    }
  }
}

void TGifParser::ReadImageBlock(const TExtensionRun& run, std::uint8_t& ch) {
  TGIFFrame frame;
  const ColorTable global = image_.screen_->GlobalTable;
  if (!global.empty()) frame.pixelBits_ = static_cast<std::uint8_t>(ColorCountToBits(ColorCount(global)));
  if (run.Kept > 0) frame.extensions_ = data_.Bytes().subspan(run.KeptFrom, run.End - run.KeptFrom);
  ReadImageDescriptor(frame);
  FindSubBlocks(frame);
  if (!frame.ownTable_) frame.table_ = global;
  ApplyGraphicControls(frame, run.Controls);
  image_.frames_.push_back(frame);

  ch = NextByteOrTrailer();
  while (ch == 0 && !data_.AtEnd()) ch = *data_.TakeByte();  // zero bytes between blocks
  // Anything else after an image ends the picture quietly.
  if (ch != kExtensionIntroducer && ch != kImageIntroducer && ch != kTrailer) ch = 0;
}

void TGifParser::ReadImageDescriptor(TGIFFrame& frame) {
  const std::optional<std::span<const std::uint8_t>> descriptor = data_.Take(kImageDescriptorSize);
  if (!descriptor) throw EReadError();
  TByteCursor fields(*descriptor);
  frame.left_ = static_cast<std::uint16_t>(Field(fields, 2));
  frame.top_ = static_cast<std::uint16_t>(Field(fields, 2));
  frame.width_ = static_cast<std::uint16_t>(Field(fields, 2));
  frame.height_ = static_cast<std::uint16_t>(Field(fields, 2));
  const auto flags = static_cast<std::uint8_t>(Field(fields, 1));
  frame.descriptorFlags_ = flags;
  frame.interlaced_ = (flags & fInterlaced) != 0;
  frame.ownTable_ = (flags & fColorTable) != 0;
  if (!frame.ownTable_) return;
  frame.pixelBits_ = static_cast<std::uint8_t>((flags & fTableSizeMask) + 1);
  const std::optional<std::span<const std::uint8_t>> table = data_.Take(std::size_t{3} << frame.pixelBits_);
  if (!table) throw EReadError();
  frame.table_ = *table;
}

void TGifParser::FindSubBlocks(TGIFFrame& frame) {
  // The code size byte (checked when decoding) and the sub-blocks lie one
  // after the other: the frame keeps where they stand.
  const std::size_t start = data_.Position();
  if (!data_.TakeByte()) throw EReadError();
  std::size_t end = data_.Position();
  while (const std::optional<std::uint8_t> length = data_.TakeByte()) {
    if (!data_.Take(*length)) {
      // Only whole sub-blocks are kept; reading goes on behind this one's
      // length byte.
      frame.corrupted_ = true;
      break;
    }
    end = data_.Position();
    if (*length == 0) break;
  }
  frame.encoded_ = data_.Bytes().subspan(start, end - start);
}

void TGifParser::ApplyGraphicControls(TGIFFrame& frame, const std::vector<TGraphicControl>& controls) {
  frame.delayMs_ = 0;
  for (const TGraphicControl& control : controls) {
    if ((control.Flags & kTransparentFlag) == 0) frame.transparentRGB_ = clNone;
    else if (control.TransparentIndex < ColorCount(frame.table_))
      frame.transparentRGB_ = TableColor(frame.table_, control.TransparentIndex);
    // The delay is in hundredths of a second; the longest one wins.
    const int delayMs = std::min(10 * int{control.Delay}, 0xFFFF);
    frame.delayMs_ = static_cast<std::uint16_t>(std::max<int>(frame.delayMs_, delayMs));
    frame.disposalCode_ = static_cast<std::uint8_t>((control.Flags >> 2) & 7);
  }
}

std::uint8_t TGifParser::NextByteOrTrailer() { return data_.TakeByte().value_or(kTrailer); }

}  // namespace quickintro::gif
