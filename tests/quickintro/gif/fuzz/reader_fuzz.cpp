// Fuzz target for the whole picture reader: the input is a GIF file, read
// as a whole stream and as stored picture data, every frame decoded, the
// picture measured, drawn, copied and shared. Only the reader's own
// failures may come out; anything else (a crash, a sanitizer report, any
// other exception) is a finding.

#include <cstddef>
#include <cstdint>
#include <span>

#include "quickintro/gif/gif_image.h"
#include "quickintro/gif/graphic_error.h"

namespace {

using namespace quickintro::gif;

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

// Every frame, whatever size it declares: the reader must refuse what it
// cannot afford before allocating (the run's memory cap makes a large
// allocation a finding).
void DecodeFrames(TGIFImage& image) {
  for (const auto& frame : image.FrameList) {
    const TGIFItem& item = *frame->PixelData;
    Tolerated([&] {
      const TBitmap& bitmap = frame->FrameBitmap();
      if (bitmap.Width() != item.FrameWidth || bitmap.Height() != item.FrameHeight) __builtin_trap();
    });
  }
}

void UseLikeTheWizard(TGIFImage& image) {
  Tolerated([&] {
    image.IsBlank();
    image.PixelWidth();
    const TShownFrame shown = image.FrameToDraw();
    if (shown.Bitmap && !shown.Bitmap->Empty() && shown.Bitmap->File().size() < 54) __builtin_trap();
  });
  TGIFImage copy;
  Tolerated([&] { copy.CopyFrom(image); });
  if (!copy.SameAs(image)) __builtin_trap();
  if (!image.FrameList.empty()) {
    TGIFImage single;
    Tolerated([&] { single.CopyFrom(*image.FrameList.back()); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  {
    TGIFImage image;
    TByteViewStream stream(bytes);
    Tolerated([&] { image.ParseGif(stream, size, false); });
    if (stream.Position() != size) __builtin_trap();
    DecodeFrames(image);
    UseLikeTheWizard(image);
  }
  if (size >= 4) {
    // The same bytes as stored picture data: a length, then the file, whose
    // first frame is decoded at once.
    TGIFImage image;
    TByteViewStream stream(bytes);
    Tolerated([&] { image.ReadStoredData(stream); });
  }
  return 0;
}
