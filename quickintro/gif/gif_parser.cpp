#include "quickintro/gif/gif_parser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/little_endian.h"

namespace quickintro::gif {
namespace {

// Logical screen descriptor and image descriptor flag bits.
enum TDescriptorFlag : std::uint8_t { fColorTable = 0x80, fInterlaced = 0x40, fTableSizeMask = 0x07 };

// Graphic control block: offsets into FixedPart (block-size byte first).
enum TGraphicControlField : std::size_t { eGraphicControlFlags = 1, eGraphicControlDelay = 2, eGraphicControlIndex = 4 };
constexpr std::uint8_t kTransparentFlag = 0x01;

constexpr std::size_t kGraphicControlFixed = 6;
constexpr std::size_t kPlainTextFixed = 13;
constexpr std::size_t kApplicationFixed = 12;
constexpr std::size_t kImageDescriptorSize = 9;
constexpr std::size_t kScreenDescriptorSize = 7;

bool SameLetters(const std::uint8_t* bytes, const char* expected) {
  for (std::size_t i = 0; expected[i] != '\0'; ++i)
    if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(expected[i]))) return false;
  return true;
}

std::uint32_t TableColor(const TColorTableRec& table, std::size_t index) {
  const std::uint8_t* rgb = &table.Entries[index * 3];
  return RgbColor(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

std::string UnrecognizedExtensionMessage(std::uint8_t label) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%.2X", static_cast<unsigned>(label));
  return std::string("Unrecognized extension block: ") + digits;
}

int ColorCountToBits(int count) {
  for (int bits = 1; bits <= 8; ++bits)
    if (count == (1 << bits)) return bits;
  throw EInvalidGraphicOperation(kWrongColorCountMessage);
}

bool IsLoopBlock(const TExtension& extension) {
  static constexpr char kLoopIdentifier[] = "NETSCAPE2.0";
  constexpr std::size_t kIdentifierLength = sizeof kLoopIdentifier - 1;
  if (extension.Kind != ApplicationKind) return false;
  // The identifier is as long as the block-size byte says; only an 11-byte
  // one can match.
  if (extension.FixedPart[0] != kIdentifierLength) return false;
  if (std::memcmp(&extension.FixedPart[1], kLoopIdentifier, kIdentifierLength) != 0) return false;
  if (!extension.SubBlocks || extension.SubBlocks->empty()) return false;
  const std::string& first = extension.SubBlocks->front();
  return first.size() >= 3 && first[0] == 1;
}

void TGifParser::ParseBlocks() {
  ReadSignature();
  ReadScreenDescriptor();
  ReadGlobalTable();
  std::uint8_t ch = 0;
  data_.ReadPadded(&ch, 1);
  while (ch != 0 && ch != kTrailer && !data_.AtEnd()) {
    std::vector<TExtension> run = ReadExtensionRun(ch);
    if (ch == kImageIntroducer) {
      ReadImageBlock(std::move(run), ch);
    } else if (image_.Comment().empty() && !run.empty()) {
      KeepAsPictureComment(run);
    } else if (ch != 0 && ch != kTrailer) {
      // Neither a block nor the end where a block must begin.
      throw EInvalidGraphicOperation(kStreamReadMessage);
    }
  }
}

void TGifParser::ReadSignature() {
  image_.VersionCode = 0;
  std::uint8_t signature[6];
  if (data_.Remaining() < sizeof signature) throw EInvalidGraphicOperation(kUnknownVersionMessage);
  data_.ReadBuffer(signature, sizeof signature);
  if (!SameLetters(signature, "GIF")) throw EInvalidGraphicOperation(kUnknownVersionMessage);
  if (SameLetters(signature + 3, "87a")) image_.VersionCode = 1;
  else if (SameLetters(signature + 3, "89a")) image_.VersionCode = 2;
  else throw EInvalidGraphicOperation(kUnknownVersionMessage);
}

void TGifParser::ReadScreenDescriptor() {
  std::uint8_t descriptor[kScreenDescriptorSize];
  data_.ReadPadded(descriptor, sizeof descriptor);
  image_.LogicalWidth = ReadLe16(descriptor, 0);
  image_.LogicalHeight = ReadLe16(descriptor, 2);
  screenFlags_ = descriptor[4];
  backgroundIndex_ = descriptor[5];
  TGIFData& screen = *image_.ScreenInfo;
  screen.AspectByte = descriptor[6];
  screen.TableBits = static_cast<std::uint8_t>((screenFlags_ & fTableSizeMask) + 1);
  screen.ColorBits = static_cast<std::uint8_t>(((screenFlags_ >> 4) & 7) + 1);
}

void TGifParser::ReadGlobalTable() {
  if ((screenFlags_ & fColorTable) == 0) return;
  TColorTableRec& table = image_.ScreenInfo->GlobalTable;
  table.Count = 1 << image_.ScreenInfo->TableBits;
  data_.ReadPadded(table.Entries.data(), static_cast<std::size_t>(table.Count) * 3);
  if (backgroundIndex_ < table.Count) image_.BackdropColor = TableColor(table, backgroundIndex_);
}

std::vector<TExtension> TGifParser::ReadExtensionRun(std::uint8_t& ch) {
  std::vector<TExtension> kept;
  while (ch == kExtensionIntroducer) {
    if (data_.AtEnd()) {  // an introducer with nothing behind it ends the data
      ch = kTrailer;
      break;
    }
    TExtension extension = ReadOneExtension();
    // Plain text is drawn over the picture; a graphic control block before it
    // belongs to the text, not to the next image.
    if (extension.Kind == PlainTextKind) kept.clear();
    if (extension.Kind == PlainTextKind || extension.Kind == ApplicationKind) {
      if (IsLoopBlock(extension)) {
        const std::string& first = extension.SubBlocks->front();
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(first.data()), first.size());
        const int count = ReadLe16(bytes, 1);
        image_.HasLoopBlock = true;
        image_.LoopCount = static_cast<std::int16_t>(std::min<int>(count, kLoopCountLimit));
      }
    } else {
      kept.push_back(std::move(extension));
    }
    ch = NextByteOrTrailer();
  }
  return kept;
}

TExtension TGifParser::ReadOneExtension() {
  const std::uint8_t label = data_.ReadByte();
  TExtension extension;
  switch (label) {
    case kGraphicControlLabel:
      extension.Kind = GraphicControlKind;
      extension.FixedLength = kGraphicControlFixed;  // whatever its block-size byte says
      break;
    case kCommentLabel:
      extension.Kind = CommentKind;
      break;
    case kPlainTextLabel:
      extension.Kind = PlainTextKind;
      extension.FixedLength = kPlainTextFixed;
      break;
    case kApplicationLabel:
      extension.Kind = ApplicationKind;
      extension.FixedLength = kApplicationFixed;
      break;
    default:
      throw EInvalidGraphicOperation(UnrecognizedExtensionMessage(label));
  }
  data_.ReadPadded(extension.FixedPart.data(), extension.FixedLength);
  if (extension.Kind != GraphicControlKind) extension.SubBlocks = ReadSubBlockStrings();
  return extension;
}

std::vector<std::string> TGifParser::ReadSubBlockStrings() {
  std::vector<std::string> strings;
  while (!data_.AtEnd()) {
    const std::uint8_t length = data_.ReadByte();
    if (length == 0) break;
    std::string block(length, '\0');
    block.resize(data_.Read(block.data(), length));
    strings.push_back(std::move(block));
  }
  return strings;
}

void TGifParser::ReadImageBlock(std::vector<TExtension> extensions, std::uint8_t& ch) {
  auto frame = std::make_unique<TGIFFrame>(&image_);
  const TColorTableRec& global = image_.ScreenInfo->GlobalTable;
  if (global.Count > 0) frame->PixelData->PixelBits = static_cast<std::uint8_t>(ColorCountToBits(global.Count));
  frame->ExtensionList = std::move(extensions);
  ReadFrameBlock(*frame);
  image_.FrameList.push_back(std::move(frame));

  ch = NextByteOrTrailer();
  while (ch == 0 && !data_.AtEnd()) ch = data_.ReadByte();  // zero bytes between blocks
  // Anything else after an image ends the picture quietly.
  if (ch != kExtensionIntroducer && ch != kImageIntroducer && ch != kTrailer) ch = 0;
}

void TGifParser::KeepAsPictureComment(const std::vector<TExtension>& run) {
  std::vector<std::string>& comment = image_.Comment();
  for (const TExtension& extension : run) {
    if (extension.Kind != CommentKind || !extension.SubBlocks) continue;
    if (!comment.empty()) comment.emplace_back("\r\n\r\n");
    comment.insert(comment.end(), extension.SubBlocks->begin(), extension.SubBlocks->end());
  }
}

void TGifParser::ReadFrameBlock(TGIFFrame& frame) {
  TGIFItem& item = *frame.PixelData;
  CopyImageData(frame);
  if (!frame.OwnTable) item.FrameTable = image_.ScreenInfo->GlobalTable;
  ApplyExtensions(frame);
}

void TGifParser::CopyImageData(TGIFFrame& frame) {
  TGIFItem& item = *frame.PixelData;
  std::uint8_t descriptor[kImageDescriptorSize];
  data_.ReadBuffer(descriptor, sizeof descriptor);
  const std::uint8_t flags = descriptor[8];
  frame.IsInterlaced = (flags & fInterlaced) != 0;
  frame.OwnTable = (flags & fColorTable) != 0;
  item.FrameTable = TColorTableRec{};
  if (frame.OwnTable) {
    item.PixelBits = static_cast<std::uint8_t>((flags & fTableSizeMask) + 1);
    item.FrameTable.Count = 1 << item.PixelBits;
    data_.ReadBuffer(item.FrameTable.Entries.data(), static_cast<std::size_t>(item.FrameTable.Count) * 3);
  }
  FindSubBlocks(frame);
  frame.Left = ReadLe16(descriptor, 0);
  frame.Top = ReadLe16(descriptor, 2);
  item.FrameWidth = ReadLe16(descriptor, 4);
  item.FrameHeight = ReadLe16(descriptor, 6);
  item.DescriptorFlags = flags;
}

void TGifParser::FindSubBlocks(TGIFFrame& frame) {
  // The code size byte (checked when decoding) and the sub-blocks lie one
  // after the other: the frame keeps where they stand.
  const std::size_t start = data_.Position();
  data_.ReadByte();
  std::size_t end = data_.Position();
  bool cut = false;
  while (end < data_.Size()) {
    data_.Seek(end);
    const std::uint8_t length = data_.ReadByte();
    if (length > data_.Remaining()) {
      cut = true;  // only whole sub-blocks are kept
      break;
    }
    end += 1 + std::size_t{length};
    if (length == 0) break;
  }
  frame.PixelData->EncodedData = data_.Bytes().subspan(start, end - start);
  frame.PixelData->Source = owner_;
  // After a cut block reading goes on behind its length byte.
  data_.Seek(cut ? end + 1 : end);
  frame.IsCorrupted = frame.IsCorrupted || cut;
}

void TGifParser::ApplyExtensions(TGIFFrame& frame) {
  const TColorTableRec& table = frame.PixelData->FrameTable;
  frame.DelayMs = 0;
  for (const TExtension& extension : frame.ExtensionList) {
    if (extension.Kind != GraphicControlKind) continue;
    const std::uint8_t flags = extension.FixedPart[eGraphicControlFlags];
    const std::uint8_t index = extension.FixedPart[eGraphicControlIndex];
    if ((flags & kTransparentFlag) == 0) frame.TransparentRGB = clNone;
    else if (index < table.Count) frame.TransparentRGB = TableColor(table, index);
    // The delay is in hundredths of a second; the longest one wins.
    const int delayMs = std::min(10 * ReadLe16(extension.FixedPart, eGraphicControlDelay), 0xFFFF);
    frame.DelayMs = static_cast<std::uint16_t>(std::max<int>(frame.DelayMs, delayMs));
    frame.DisposalCode = static_cast<std::uint8_t>((flags >> 2) & 7);
  }
}

std::uint8_t TGifParser::NextByteOrTrailer() { return data_.AtEnd() ? kTrailer : data_.ReadByte(); }

}  // namespace quickintro::gif
