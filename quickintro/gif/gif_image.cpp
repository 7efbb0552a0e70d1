#include "quickintro/gif/gif_image.h"

#include <algorithm>

#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/gif_parser.h"
#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {
namespace {

std::uint16_t ClampTo16(std::int64_t value) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 0xFFFF));
}

}  // namespace

// ---- TGIFFrame ----

std::vector<TExtension> TGIFFrame::Extensions() const { return KeptExtensions(extensions_); }

std::optional<std::vector<std::string>> TGIFFrame::FrameComment() const {
  const std::vector<TExtension> extensions = Extensions();
  for (auto it = extensions.rbegin(); it != extensions.rend(); ++it)
    if (it->Kind == CommentKind) return it->SubBlocks();
  return std::nullopt;
}

// ---- TGIFImage ----

TGIFImage::TGIFImage() : screen_(std::make_shared<TGIFData>()) {}

TGIFImage TGIFImage::OfFrame(const TGIFImage& source, std::size_t index) {
  const TGIFFrame& frame = source.frames_.at(index);
  TGIFImage image;
  // The frame's views are of the source's file, which the new data keep.
  *image.screen_ = *source.screen_;
  image.screen_->CommentBlocks = {};
  image.versionCode_ = std::max<std::uint8_t>(source.versionCode_, 1);
  image.frames_.push_back(frame);
  image.shownFrame_ = 0;
  image.logicalWidth_ = ClampTo16(std::int64_t{frame.Left()} + frame.Width());
  image.logicalHeight_ = ClampTo16(std::int64_t{frame.Top()} + frame.Height());
  return image;
}

std::vector<std::string> TGIFImage::Comment() const {
  std::vector<std::string> lines;
  for (const TExtension& extension : KeptExtensions(screen_->CommentBlocks)) {
    if (extension.Kind != CommentKind) continue;
    if (!lines.empty()) lines.emplace_back("\r\n\r\n");
    for (std::string& line : extension.SubBlocks()) lines.push_back(std::move(line));
  }
  return lines;
}

bool TGIFImage::IsBlank() const { return frames_.empty(); }

std::int32_t TGIFImage::PixelWidth() const {
  if (shownFrame_ < 0 || shownFrame_ >= std::ssize(frames_)) return 0;
  const TGIFFrame& frame = frames_[static_cast<std::size_t>(shownFrame_)];
  return frame.Bitmap() ? frame.Bitmap()->Width() : frame.Width();
}

std::int32_t TGIFImage::PixelHeight() const {
  if (shownFrame_ < 0 || shownFrame_ >= std::ssize(frames_)) return 0;
  const TGIFFrame& frame = frames_[static_cast<std::size_t>(shownFrame_)];
  return frame.Bitmap() ? frame.Bitmap()->Height() : frame.Height();
}

TShownFrame TGIFImage::FrameToDraw() const {
  if (shownFrame_ < 0 || shownFrame_ >= std::ssize(frames_)) return {};
  const TGIFFrame& frame = frames_[static_cast<std::size_t>(shownFrame_)];
  // A frame with a transparent colour is drawn with that colour left out.
  return {frame.Bitmap(), frame.TransparentRGB()};
}

const TBitmap& TGIFImage::DecodeFrame(std::size_t index, const DecodeProgressSink& progress) {
  TGIFFrame& frame = frames_.at(index);
  if (frame.bitmap_) return *frame.bitmap_;
  TByteCursor source(frame.encoded_);
  const TFrameFormat format{frame.width_, frame.height_, frame.pixelBits_, frame.interlaced_};
  TFrameDib decoded = BuildFrameDib(source, format, frame.table_, progress);
  frame.corrupted_ = frame.corrupted_ || decoded.Corrupted;
  frame.bitmap_ = std::make_shared<const TBitmap>(std::move(decoded.Bitmap));
  return *frame.bitmap_;
}

void TGIFImage::ForgetBitmap(std::size_t index) { frames_.at(index).bitmap_.reset(); }

void TGIFImage::SetShownBitmap(TBitmap bitmap) {
  if (shownFrame_ < 0 || shownFrame_ >= std::ssize(frames_)) return;
  frames_[static_cast<std::size_t>(shownFrame_)].bitmap_ = std::make_shared<const TBitmap>(std::move(bitmap));
}

// ---- Reading ----

TGIFReading ReadGIFFrames(SharedBytes owner, std::span<const std::uint8_t> file) {
  TGIFReading reading;
  TGIFImage& image = reading.Image;
  image.screen_->File = std::move(owner);
  try {
    if (!file.empty()) TGifParser(image, file).ParseBlocks();
  } catch (const std::exception&) {
    // The frames read so far stay, none of them shown.
    reading.Failure = std::current_exception();
    return reading;
  }
  if (!image.frames_.empty()) image.shownFrame_ = 0;
  return reading;
}

TGIFReading ReadStoredGIF(SharedBytes owner, TByteCursor& stored) {
  TGIFReading reading;
  const std::optional<std::uint32_t> length = stored.TakeLe(4);
  // No picture has a negative size.
  const auto file = length && *length <= INT32_MAX ? stored.Take(*length) : std::nullopt;
  if (!file) {
    reading.Failure = std::make_exception_ptr(EReadError());
    return reading;
  }
  return ReadGIFFrames(std::move(owner), *file);
}

TGIFImage ReadGIFImage(SharedBytes file) {
  const std::span<const std::uint8_t> bytes = file ? std::span<const std::uint8_t>(*file) : std::span<const std::uint8_t>();
  TGIFReading reading = ReadGIFFrames(std::move(file), bytes);
  if (reading.Failure) std::rethrow_exception(reading.Failure);
  // A frame that cannot be decoded fails while its picture is read, not
  // while it is painted.
  if (reading.Image.ShownFrame() >= 0) reading.Image.DecodeFrame(static_cast<std::size_t>(reading.Image.ShownFrame()));
  return std::move(reading.Image);
}

}  // namespace quickintro::gif
