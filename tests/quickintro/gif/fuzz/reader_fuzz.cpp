// Fuzz target for the whole picture reader: the input is a GIF file, read
// through the wizard's door and without decoding, and as stored picture
// data; frames decoded whatever size they declare, the picture measured,
// drawn, copied and cut down to one frame, its comments read. Only the
// reader's own failures may come out; anything else (a crash, a sanitizer
// report, any other exception, an allocation above the run's cap) is a
// finding. Inputs of a few megabytes reach files of many thousand frames.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "quickintro/gif/graphic_error.h"

namespace {

using namespace quickintro::gif;
using Bytes = std::vector<std::uint8_t>;

// Decoding a frame costs its own time; a file of many frames has the first
// ones and the last decoded.
constexpr std::size_t kFramesDecoded = 256;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

template <typename Action>
bool Tolerated(Action&& action) {
  try {
    action();
    return true;
  } catch (const EReadError&) {
  } catch (const EInvalidGraphicOperation&) {
  }
  return false;
}

void RequireReaderFailure(const std::exception_ptr& failure) {
  if (failure) Require(!Tolerated([&] { std::rethrow_exception(failure); }));
}

// The reader must refuse what it cannot afford before allocating (the run's
// memory cap makes a large allocation a finding). Each bitmap goes once
// checked, as gifdecode lets them go.
void DecodeFrames(TGIFImage& image) {
  const std::size_t count = image.Frames().size();
  for (std::size_t index = 0; index < count; ++index) {
    if (index >= kFramesDecoded && index + 1 < count) continue;
    Tolerated([&] {
      const TBitmap& bitmap = image.DecodeFrame(index);
      const TGIFFrame& frame = image.Frames()[index];
      Require(bitmap.Width() == frame.Width() && bitmap.Height() == frame.Height());
      Require(bitmap.File().size() == bitmap.Layout().FileSize);
    });
    image.ForgetBitmap(index);
  }
}

void UseLikeTheWizard(const SharedBytes& owner) {
  Tolerated([&] {
    const TGIFImage image = ReadGIFImage(owner);
    const TShownFrame shown = image.FrameToDraw();
    Require(image.IsBlank() == !shown.Bitmap);
    Require(!shown.Bitmap || (shown.Bitmap->Width() == image.PixelWidth() && shown.Bitmap->Height() == image.PixelHeight()));
    const TGIFImage copy = image;
    Require(copy.SameAs(image) && copy.Frames().size() == image.Frames().size());
    if (!image.IsBlank()) Require(!TGIFImage::OfFrame(image, image.Frames().size() - 1).SameAs(image));
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto owner = std::make_shared<const Bytes>(data, data + size);
  {
    TGIFReading reading = ReadGIFFrames(owner, *owner);
    RequireReaderFailure(reading.Failure);
    DecodeFrames(reading.Image);
    reading.Image.Comment();
    if (!reading.Image.IsBlank()) reading.Image.Frames().back().FrameComment();
  }
  UseLikeTheWizard(owner);
  // The same bytes as stored picture data: a length, then the file.
  quickintro::TByteCursor stored(*owner);
  const TGIFReading reading = ReadStoredGIF(owner, stored);
  RequireReaderFailure(reading.Failure);
  Require(stored.Position() <= size);
  return 0;
}
