#include "quickintro/gif/gif_image.h"

#include <algorithm>

#include "quickintro/gif/compressed_source.h"
#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/file_reader.h"
#include "quickintro/gif/gif_parser.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/little_endian.h"

namespace quickintro::gif {
namespace {

// The signed 32-bit little-endian length in front of stored picture data.
std::size_t ReadStoredLength(TStream& stream) {
  std::uint8_t length[4];
  stream.ReadBuffer(length, sizeof length);
  const auto value = static_cast<std::int32_t>(ReadLe32(length, 0));
  if (value < 0) throw EReadError();  // no picture has a negative size
  return static_cast<std::size_t>(value);
}

std::uint16_t ClampTo16(std::int64_t value) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 0xFFFF));
}

}  // namespace

// ---- TBitmap ----

TBitmap::TBitmap(std::vector<std::uint8_t> file) : file_(std::move(file)) {
  const std::optional<TBitmapLayout> layout = ReadBitmapLayout(file_);
  if (!layout) throw EInvalidGraphicOperation(kInvalidBitmapMessage);
  layout_ = *layout;
}

// ---- TGIFFrame ----

TGIFFrame::TGIFFrame(TGIFImage* parentImage) : ParentImage(parentImage) { ResetFrame(); }

void TGIFFrame::ResetFrame() {
  PixelData = std::make_shared<TGIFItem>();
  IsGray = IsCorrupted = IsInterlaced = OwnTable = false;
  TransparentRGB = clNone;
  Left = Top = 0;
  DelayMs = 0;
  DisposalCode = 0;
}

bool TGIFFrame::HasEncodedData() const { return PixelData->EncodedData.has_value(); }

const TBitmap& TGIFFrame::FrameBitmap() {
  if (BitmapCache && !BitmapCache->Empty()) return *BitmapCache;
  BitmapCache = std::make_unique<TBitmap>();
  if (!HasEncodedData()) return *BitmapCache;
  const TGIFItem& item = *PixelData;
  TCompressedSource source(*item.EncodedData);
  const TFrameFormat format{ClampTo16(item.FrameWidth), ClampTo16(item.FrameHeight), item.PixelBits,
                            IsInterlaced};
  DecodeProgressSink progress;
  if (TGIFImage* parent = ParentImage; parent && parent->OnDecodeProgress) {
    progress = [parent](TProgressStage stage, int percent, const std::string& message) {
      parent->Progress(stage, percent, message);
    };
  }
  std::vector<std::uint8_t> file;
  IsCorrupted = BuildFrameDib(source, format, item.FrameTable, progress, file) || IsCorrupted;
  *BitmapCache = TBitmap(std::move(file));
  return *BitmapCache;
}

std::int32_t TGIFFrame::FrameWidth() {
  if (!BitmapCache && !HasEncodedData()) return 0;
  return FrameBitmap().Width();
}

std::int32_t TGIFFrame::FrameHeight() {
  if (!BitmapCache && !HasEncodedData()) return 0;
  return FrameBitmap().Height();
}

const std::vector<std::string>* TGIFFrame::FrameComment() const {
  for (auto it = ExtensionList.rbegin(); it != ExtensionList.rend(); ++it)
    if (it->Kind == CommentKind) return it->SubBlocks ? &*it->SubBlocks : nullptr;
  return nullptr;
}

std::vector<std::string>* TGIFFrame::FrameComment(bool create) {
  for (auto it = ExtensionList.rbegin(); it != ExtensionList.rend(); ++it) {
    if (it->Kind != CommentKind) continue;
    if (!it->SubBlocks && create) it->SubBlocks.emplace();
    return it->SubBlocks ? &*it->SubBlocks : nullptr;
  }
  if (!create) return nullptr;
  TExtension& comment = ExtensionList.emplace_back();
  comment.Kind = CommentKind;
  return &comment.SubBlocks.emplace();
}

void TGIFFrame::CopyFrom(std::nullptr_t) {
  ResetFrame();
  BitmapCache.reset();
  if (ParentImage) ParentImage->UpdateLogicalSize();
}

void TGIFFrame::CopyFrom(const TGIFFrame& source) {
  if (&source != this) {
    PixelData = source.PixelData;
    OwnTable = ParentImage == source.ParentImage ? source.OwnTable : true;
    Left = source.Left;
    Top = source.Top;
    IsInterlaced = source.IsInterlaced;
    // A bitmap of the old data must not stand for the new: without one from
    // the source, the frame is decoded again from the shared data.
    if (source.BitmapCache) BitmapCache = std::make_unique<TBitmap>(*source.BitmapCache);
    else BitmapCache.reset();
    TransparentRGB = source.TransparentRGB;
    DelayMs = source.DelayMs;
    DisposalCode = source.DisposalCode;
    IsGray = source.IsGray;
    IsCorrupted = source.IsCorrupted;
    if (const auto* lines = source.FrameComment(); lines && !lines->empty()) *FrameComment(true) = *lines;
  }
  if (ParentImage) ParentImage->UpdateLogicalSize();
}

void TGIFFrame::CopyFrom(const TGIFImage& source) {
  if (source.FrameList.empty()) {
    CopyFrom(nullptr);
    return;
  }
  const std::size_t index = source.ShownFrame >= 0 && source.ShownFrame < std::ssize(source.FrameList)
                                ? static_cast<std::size_t>(source.ShownFrame)
                                : 0;
  CopyFrom(*source.FrameList[index]);
}

void TGIFFrame::CopyInto(TGIFImage& target) const { target.CopyFrom(*this); }

// ---- TGIFImage ----

TGIFImage::TGIFImage() { ResetImage(); }

void TGIFImage::ResetImage() {
  ScreenInfo = std::make_shared<TGIFData>();
  FrameList.clear();
  ShownFrame = -1;
  BackdropColor = clNone;
  LoopCount = 1;
  HasLoopBlock = false;
  VersionCode = 0;
}

void TGIFImage::ReadStoredData(TStream& stream) {
  ParseGif(stream, ReadStoredLength(stream), true);
}

void TGIFImage::LoadWholeStream(TStream& stream) { ParseGif(stream, stream.Remaining(), true); }

void TGIFImage::LoadFromFile(const std::string& fileName) {
  SharedBytes bytes;
  try {
    bytes = ReadWholeFile(fileName);
  } catch (const EFileError& failure) {
    throw EInvalidGraphicOperation(fileName + ": " + failure.what());
  }
  const std::span<const std::uint8_t> whole(*bytes);
  ParseGif(std::move(bytes), whole, true);
}

void TGIFImage::ParseGif(TStream& stream, std::size_t length, bool decodeAtOnce) {
  // The picture's bytes are taken in one block, and parsing never reads
  // past them.
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  if (std::optional<std::span<const std::uint8_t>> view = stream.ReadView(length)) {
    bytes->assign(view->begin(), view->end());
  } else {
    TMemoryStream copy;
    copy.LoadFrom(stream, length);
    *bytes = copy.Bytes();
  }
  const std::span<const std::uint8_t> file(*bytes);
  ParseGif(std::move(bytes), file, decodeAtOnce);
}

void TGIFImage::ParseGif(SharedBytes owner, std::span<const std::uint8_t> file, bool decodeAtOnce) {
  ResetImage();
  TByteViewStream data(file);
  if (!file.empty()) TGifParser(*this, data, std::move(owner)).ParseBlocks();
  if (!FrameList.empty()) {
    ShownFrame = 0;
    if (decodeAtOnce) {
      try {
        CurrentBitmap();
      } catch (...) {
        // A picture whose first frame cannot be decoded fails while it is
        // read, not while it is painted.
        FrameList.erase(FrameList.begin());
        if (FrameList.empty()) ShownFrame = -1;
        throw;
      }
    }
  }
  Changed();
}

void TGIFImage::LoadFromClipboardData(std::span<const std::uint8_t> data, const TBitmap* clipboardBitmap) {
  TByteViewStream stream(data);
  ParseGif(stream, ReadStoredLength(stream), false);
  if (FrameList.empty()) return;
  ShownFrame = 0;
  if (clipboardBitmap) FrameList[0]->BitmapCache = std::make_unique<TBitmap>(*clipboardBitmap);
}

TGIFFrame* TGIFImage::FrameAtOrFirst(std::int32_t index) const {
  if (FrameList.empty()) return nullptr;
  if (index < 0 || index >= std::ssize(FrameList)) index = 0;
  return FrameList[static_cast<std::size_t>(index)].get();
}

bool TGIFImage::IsBlank() const {
  if (FrameList.empty()) return true;
  const std::int32_t index = std::max(ShownFrame, 0);
  if (index >= std::ssize(FrameList)) return true;
  const TGIFFrame& frame = *FrameList[static_cast<std::size_t>(index)];
  if (frame.BitmapCache) return false;
  const auto& encoded = frame.PixelData->EncodedData;
  return !(encoded && !encoded->empty());
}

std::int32_t TGIFImage::PixelWidth() {
  if (IsBlank() || ShownFrame < 0 || ShownFrame >= std::ssize(FrameList)) return 0;
  return FrameList[static_cast<std::size_t>(ShownFrame)]->FrameBitmap().Width();
}

std::int32_t TGIFImage::PixelHeight() {
  if (IsBlank() || ShownFrame < 0 || ShownFrame >= std::ssize(FrameList)) return 0;
  return FrameList[static_cast<std::size_t>(ShownFrame)]->FrameBitmap().Height();
}

TShownFrame TGIFImage::FrameToDraw() {
  if (ShownFrame < 0 || ShownFrame >= std::ssize(FrameList)) return {};
  TGIFFrame& frame = *FrameList[static_cast<std::size_t>(ShownFrame)];
  // A frame with a transparent colour is drawn with that colour left out.
  return {&frame.FrameBitmap(), frame.TransparentRGB};
}

const TBitmap& TGIFImage::CurrentBitmap() {
  if (FrameList.empty()) {
    // An empty bitmap becomes one empty frame.
    CopyFrom(TBitmap());
    ShownFrame = 0;
  }
  return FrameAtOrFirst(ShownFrame)->FrameBitmap();
}

void TGIFImage::UpdateLogicalSize() {
  std::int64_t width = 0, height = 0;
  for (const auto& frame : FrameList) {
    width = std::max<std::int64_t>(width, std::int64_t{frame->Left} + frame->FrameWidth());
    height = std::max<std::int64_t>(height, std::int64_t{frame->Top} + frame->FrameHeight());
  }
  LogicalWidth = ClampTo16(width);
  LogicalHeight = ClampTo16(height);
}

void TGIFImage::CopyFrom(std::nullptr_t) {
  ResetImage();
  Changed();
}

void TGIFImage::CopyFrom(const TGIFImage& source) {
  if (&source == this) return;
  ScreenInfo = source.ScreenInfo;
  VersionCode = source.VersionCode;
  BackdropColor = source.BackdropColor;
  LoopCount = source.LoopCount;
  HasLoopBlock = source.HasLoopBlock;
  FrameList.clear();
  for (const auto& sourceFrame : source.FrameList) {
    auto frame = std::make_unique<TGIFFrame>(this);
    frame->CopyFrom(*sourceFrame);
    frame->OwnTable = sourceFrame->OwnTable;
    FrameList.push_back(std::move(frame));
  }
  LogicalWidth = source.LogicalWidth;
  LogicalHeight = source.LogicalHeight;
  ShownFrame = source.ShownFrame;
  Changed();
}

void TGIFImage::CopyFrom(const TGIFFrame& source) {
  // The source may be one of this picture's own frames, which ResetImage
  // frees: take what is needed from it first.
  TGIFFrame detached(nullptr);
  detached.CopyFrom(source);
  const TGIFImage* sourceImage = source.ParentImage;
  const TGIFData header = sourceImage ? *sourceImage->ScreenInfo : TGIFData{};
  ResetImage();
  ScreenInfo->AspectByte = header.AspectByte;
  ScreenInfo->TableBits = header.TableBits;
  ScreenInfo->ColorBits = header.ColorBits;
  ScreenInfo->GlobalTable = header.GlobalTable;
  FrameList.push_back(std::make_unique<TGIFFrame>(this));
  ShownFrame = static_cast<std::int32_t>(FrameList.size() - 1);
  FrameList.back()->CopyFrom(detached);
  if (VersionCode == 0) VersionCode = 1;
  Changed();
}

void TGIFImage::CopyFrom(const TBitmap& source) {
  if (!source.Empty()) throw EInvalidGraphicOperation(kEncodingRefusedMessage);
  ResetImage();
  FrameList.push_back(std::make_unique<TGIFFrame>(this));
  ShownFrame = 0;
  Changed();
}

void TGIFImage::CopyInto(TBitmap& target) {
  if (IsBlank()) target = TBitmap();
  else if (ShownFrame < 0) target = CurrentBitmap();
  else FrameAtOrFirst(ShownFrame)->CopyInto(target);
}

void TGIFImage::ResizeTo(TDimension, std::int32_t) { throw EInvalidGraphicOperation(kResizeRefusedMessage); }

void TGIFImage::Progress(TProgressStage stage, int percentDone, const std::string& message) {
  if (OnDecodeProgress) OnDecodeProgress(*this, stage, percentDone, message);
}

void TGIFImage::Changed() {
  if (OnChange) OnChange();
}

}  // namespace quickintro::gif
