// The GIF picture on Windows: drawn pixels, opaque and transparent at every
// bitmap depth, the wizard's picture class and its registration, and loading
// from the clipboard. Runs under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "gif_picture.h"
#include "gif_pieces.h"
#include "graphic_error.h"
#include "pixel_surface.h"

namespace quickintro::gif {
namespace {

using namespace quickintro::gif::testing;

constexpr COLORREF kBackground = RGB(10, 200, 30);
constexpr std::uint32_t kBackgroundValue = 10 | (200 << 8) | (30 << 16);

Bytes GlobalHeader4() { return Cat({Header(), Screen(4, 4, 2), Palette(4)}); }

// A table whose entry 3 has the colour of entry 1, so that transparency must
// follow the colour, not the index.
Bytes TableWithTwin(int count) {
  Bytes table = Palette(count);
  if (count > 3) std::copy(table.begin() + 3, table.begin() + 6, table.begin() + 9);
  return table;
}

std::unique_ptr<TGIFImage> Load(const Bytes& file) {
  auto image = std::make_unique<TGIFImage>();
  TByteViewStream stream(file);
  image->LoadWholeStream(stream);
  return image;
}

TEST(GifPictureDrawing, OpaqueFramesDrawTheirColoursStretchedIntoTheRectangle) {
  const Bytes pixels = {0, 1, 2, 3};
  auto image = Load(Cat({GlobalHeader4(), Image({}, pixels), Trailer()}));
  PixelSurface surface(12, 12, kBackground);
  ASSERT_TRUE(surface.ok());
  DcCanvas canvas(surface.dc());
  image->DrawInto(canvas, {2, 2, 6, 6});  // twice the natural size
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(surface.At(2 + x, 2 + y), PaletteColor(pixels[(y / 2) * 2 + x / 2]));
  EXPECT_EQ(surface.At(1, 1), kBackgroundValue);
  EXPECT_EQ(surface.At(6, 6), kBackgroundValue);
}

TEST(GifPictureDrawing, TransparentColourLetsTheCanvasThroughAtEveryDepth) {
  for (int tableBits : {1, 2, 8}) {
    SCOPED_TRACE(tableBits);
    const int count = 1 << tableBits;
    const Bytes pixels = {0, 1, 0, count > 3 ? std::uint8_t{3} : std::uint8_t{1}, 0, 1};  // 3 x 2
    const Bytes file = Cat({Header(), Screen(3, 2, tableBits), TableWithTwin(count), GraphicControl(true, 1),
                            Image({.width = 3, .height = 2}, pixels, std::max(2, tableBits)), Trailer()});
    auto image = Load(file);
    PixelSurface surface(8, 6, kBackground);
    DcCanvas canvas(surface.dc());
    image->DrawInto(canvas, {1, 1, 4, 3});
    for (int i = 0; i < 6; ++i) {
      const std::uint32_t drawn = surface.At(1 + i % 3, 1 + i / 3);
      EXPECT_EQ(drawn, pixels[i] == 0 ? PaletteColor(0) : kBackgroundValue) << "pixel " << i;
    }
  }
}

TEST(GifPictureDrawing, SystemBitmapIsMadeOnceAndDroppedWithTheBitmap) {
  auto image = Load(Cat({GlobalHeader4(), Image({}), Trailer()}));
  const TBitmap& bitmap = image->FrameList[0]->FrameBitmap();
  HBITMAP first = DeviceBitmapOf(bitmap);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(DeviceBitmapOf(bitmap), first);
  TBitmap copy = bitmap;
  EXPECT_EQ(copy.Device(), nullptr);
  EXPECT_EQ(DeviceBitmapOf(TBitmap()), nullptr);
}

TEST(GifPictureClass, RegisteredUnderItsNameFormatAndClipboardFormat) {
  RegisterGIFImage();
  RegisterGIFImage();  // a second registration changes nothing
  const auto& formats = RegisteredPictureFormats();
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_EQ(formats[0].extension, "gif");
  EXPECT_EQ(formats[0].description, "CompuServe GIF Image");
  EXPECT_EQ(formats[0].className, "TGIFImage");
  char name[32] = {};
  ASSERT_NE(GifClipboardFormat(), 0u);
  GetClipboardFormatNameA(GifClipboardFormat(), name, sizeof name);
  EXPECT_STREQ(name, "GIF Image");

  const StoredPicture stored{"TGIFImage", std::make_shared<const std::vector<std::uint8_t>>(
                                              Stored(Cat({GlobalHeader4(), Image({.width = 5, .height = 3}), Trailer()})))};
  const StoredPicture fileAlone{"TGIFImage", std::make_shared<const std::vector<std::uint8_t>>(
                                                 Cat({GlobalHeader4(), Image({.width = 5, .height = 3}), Trailer()}))};
  for (const StoredPicture* picture : {&stored, &fileAlone}) {
    std::unique_ptr<TGraphic> graphic = CreateGraphic(*picture);
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->PixelWidth(), 5);
    EXPECT_EQ(graphic->PixelHeight(), 3);
  }

  const StoredPicture damaged{"TGIFImage", std::make_shared<const std::vector<std::uint8_t>>(Stored({'G', 'I', 'F', '9'}))};
  try {
    CreateGraphic(damaged);
    ADD_FAILURE() << "no failure";
  } catch (const EInvalidGraphicOperation& failure) {
    EXPECT_STREQ(failure.what(), "Unknown GIF version");
  }
}

// Puts data on the clipboard; each call empties it first.
void PutOnClipboard(UINT format, const Bytes& data, HBITMAP bitmap) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (!data.empty()) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, data.size());
    std::memcpy(GlobalLock(memory), data.data(), data.size());
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
  }
  if (bitmap) SetClipboardData(CF_BITMAP, bitmap);
  CloseClipboard();
}

HBITMAP MakeScreenBitmap(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

TEST(GifPictureClass, ClipboardGifDataLoadAndABitmapThereBecomesTheShownImage) {
  const Bytes stored = Stored(Cat({GlobalHeader4(), Image({.width = 4, .height = 2}), Trailer()}));
  TGIFImage image;
  PutOnClipboard(GifClipboardFormat(), stored, nullptr);
  ASSERT_TRUE(LoadFromClipboard(image, nullptr));
  ASSERT_EQ(image.FrameList.size(), 1u);
  EXPECT_EQ(image.FrameList[0]->BitmapCache, nullptr);  // not decoded at once
  EXPECT_EQ(image.PixelWidth(), 4);

  PutOnClipboard(GifClipboardFormat(), stored, MakeScreenBitmap(7, 5));
  ASSERT_TRUE(LoadFromClipboard(image, nullptr));
  EXPECT_EQ(image.PixelWidth(), 7);
  EXPECT_EQ(image.PixelHeight(), 5);

  // A bitmap alone would have to be encoded.
  PutOnClipboard(0, {}, MakeScreenBitmap(3, 3));
  try {
    LoadFromClipboard(image, nullptr);
    ADD_FAILURE() << "no failure";
  } catch (const EInvalidGraphicOperation& failure) {
    EXPECT_STREQ(failure.what(), kEncodingRefusedMessage);
  }
}

}  // namespace
}  // namespace quickintro::gif
