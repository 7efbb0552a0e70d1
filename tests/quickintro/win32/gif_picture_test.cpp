// The GIF picture on Windows, under Wine: the picture class, the clipboard,
// and the wizard's pages painted with their pictures, transparent ones
// letting the cards and the background through.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/quickintro/win32/dib_surface.h"
#include "quickintro/win32/gif_picture.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/win32/quick_form.h"

namespace quickintro {
namespace {

using namespace quickintro::test;
using gif::EInvalidGraphicOperation;
using gif::TGIFFrame;

constexpr COLORREF kGreen = RGB(0, 255, 0);  // a colour no test picture has

Bytes Head4() { return Cat({Header(), Screen(4, 4, 2), Palette(4)}); }

TEST(GifPictureClass, RegisteredWithTheWizardAndTheClipboard) {
  RegisterGIFImage();
  ASSERT_EQ(RegisteredPictureFormats().size(), 1u);
  EXPECT_EQ(RegisteredPictureFormats()[0].Description, "CompuServe GIF Image");
  char name[32] = {};
  GetClipboardFormatNameA(GifClipboardFormat(), name, sizeof name);
  EXPECT_STREQ(name, "GIF Image");

  const Bytes file = Cat({Head4(), Image({.Width = 5, .Height = 3})});
  auto graphic = CreateGraphic({"TGIFImage", std::make_shared<const Bytes>(file)});
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->PixelWidth() * 10 + graphic->PixelHeight(), 53);
  EXPECT_THROW(CreateGraphic({"TGIFImage", std::make_shared<const Bytes>(Bytes{'G', 'I', 'F', '9'})}),
               EInvalidGraphicOperation);
}

void PutOnClipboard(const Bytes& gif, HBITMAP bitmap) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (!gif.empty()) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, gif.size());
    std::memcpy(GlobalLock(memory), gif.data(), gif.size());
    GlobalUnlock(memory);
    SetClipboardData(GifClipboardFormat(), memory);
  }
  if (bitmap) SetClipboardData(CF_BITMAP, bitmap);
  CloseClipboard();
}

HBITMAP ScreenBitmap(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

TEST(GifPictureClass, ClipboardGifDataAndTheBitmapBesideThem) {
  const Bytes stored = Stored(Cat({Head4(), Image({.Width = 4, .Height = 2})}));
  PutOnClipboard(stored, nullptr);
  std::optional<TGIFImage> image = LoadFromClipboard(nullptr);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->Frames().size(), 1u);
  EXPECT_EQ(image->Frames()[0].Bitmap(), nullptr);  // not decoded at once
  EXPECT_EQ(image->PixelWidth(), 4);
  PutOnClipboard(stored, ScreenBitmap(7, 5));
  image = LoadFromClipboard(nullptr);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->PixelWidth(), 7);
  PutOnClipboard({}, ScreenBitmap(3, 3));  // a bitmap alone would need encoding
  EXPECT_THROW(LoadFromClipboard(nullptr), EInvalidGraphicOperation);
}

// On a scaled display a picture is drawn larger: at 200 % each pixel a
// sharp block, its transparent pixels keeping what lies beneath; at 150 %
// the pixel between two of them is blended, with the destination too where
// one of them is transparent.
TEST(GifPictureClass, ScaledFramesAreSharpAtWholeMultiplesAndBlendedAtEdges) {
  RegisterGIFImage();
  // Two pixels side by side: colour 2, then the transparent colour 1.
  const Bytes file = Cat({Header(), Screen(2, 1, 2), Palette(4), GraphicControl(true, 1),
                          Image({.Width = 2, .Height = 1}, {2, 1})});
  auto graphic = CreateGraphic({"TGIFImage", std::make_shared<const Bytes>(file)});
  ASSERT_NE(graphic, nullptr);
  const COLORREF opaque = PaletteColor(2);
  TDibSurface twice(6, 3, kGreen);
  graphic->DrawInto(twice.Dc(), {1, 1, 5, 3});
  for (int x = 0; x < 6; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(twice.At(x, 0), kGreen);
    EXPECT_EQ(twice.At(x, 1), x == 1 || x == 2 ? opaque : kGreen);
    EXPECT_EQ(twice.At(x, 2), twice.At(x, 1));
  }
  TDibSurface half(3, 1, kGreen);
  graphic->DrawInto(half.Dc(), {0, 0, 3, 1});
  EXPECT_EQ(half.At(0, 0), opaque);
  EXPECT_EQ(half.At(2, 0), kGreen);
  const COLORREF blend = half.At(1, 0);
  const auto between = [](int value, int a, int b) { return std::abs(2 * value - a - b) <= 4; };
  EXPECT_TRUE(between(GetRValue(blend), GetRValue(opaque), 0) && between(GetGValue(blend), GetGValue(opaque), 255) &&
              between(GetBValue(blend), GetBValue(opaque), 0))
      << std::hex << blend << " is not half " << opaque << " and half green";
}

constexpr int kPageWidth = 391, kPageHeight = 206;

const TGIFFrame& FrameOf(const TFormItem& item) {
  auto* graphic = dynamic_cast<const TGifGraphic*>(item.Graphic.get());
  if (!graphic || graphic->Image().IsBlank()) throw std::runtime_error(item.Name() + " has no GIF picture");
  return graphic->Image().Frames()[0];
}

struct TPixelCounts {
  int Opaque = 0, Transparent = 0, OnCard = 0, Wrong = 0;
};

// Paints the page with the items above the picture hidden, with the picture
// and without it: where it is opaque the page must show its colour, where it
// is transparent exactly what lies beneath (the cards, the background).
TPixelCounts CheckPicture(TQuickForm& form, int page, TFormItem& picture) {
  const std::vector<TFormItem*>& stacking = form.PageItems(page);
  std::vector<TFormItem*> above;
  for (auto it = std::find(stacking.begin(), stacking.end(), &picture) + 1; it < stacking.end(); ++it)
    if ((*it)->Visible) above.push_back(*it), (*it)->Visible = false;
  TDibSurface with(kPageWidth, kPageHeight, kGreen), without(kPageWidth, kPageHeight, kGreen);
  form.PaintPage(with.Dc(), page);
  picture.Visible = false;
  form.PaintPage(without.Dc(), page);
  picture.Visible = true;
  for (TFormItem* item : above) item->Visible = true;

  TPixelCounts counts;
  const TGIFFrame& frame = FrameOf(picture);
  const TBitmap& bitmap = *frame.Bitmap();
  const RECT clip = ItemRect(picture);
  POINT origin{clip.left, clip.top};
  if (picture.Layout->Has(ifCenter))
    origin = {(clip.left + clip.right - bitmap.Width()) / 2, (clip.top + clip.bottom - bitmap.Height()) / 2};
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const POINT at{origin.x + x, origin.y + y};
      if (at.x < 0 || at.y < 0 || at.x >= kPageWidth || at.y >= kPageHeight || !PtInRect(&clip, at)) continue;
      const std::uint32_t color = BitmapPixelColor(bitmap, x, y);
      const bool clear = color == frame.TransparentRGB();
      ++(clear ? counts.Transparent : counts.Opaque);
      if (clear && without.At(at.x, at.y) == 0xE7E7E7) ++counts.OnCard;
      if (with.At(at.x, at.y) != (clear ? without.At(at.x, at.y) : color) && ++counts.Wrong <= 3)
        ADD_FAILURE() << picture.Name() << " pixel " << x << "," << y;
    }
  }
  return counts;
}

TEST(WizardPages, EveryPageShowsItsPicturesTransparentWhereTheyAreSo) {
  RegisterGIFImage();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  TQuickFormOptions options;
  options.CommandLine = "quickintro.exe init";  // all eight pages
  options.QuitOnDestroy = false;
  options.ShowError = [](const std::string& text) { ADD_FAILURE() << text; };
  TQuickForm form(instance, LoadLayoutResource(instance), std::move(options));
  std::vector<std::string> checked;
  for (int page = 0; page < 8; ++page) {
    if (page > 0) form.NextBtnClick();  // the background moves with the page shown
    for (TFormItem* item : form.PageItems(page)) {
      if (item->Kind() != ikImage) continue;
      SCOPED_TRACE(item->Name());
      ASSERT_NE(FrameOf(*item).Bitmap(), nullptr);  // decoded when the window was made
      const TPixelCounts counts = CheckPicture(form, page, *item);
      EXPECT_EQ(counts.Wrong, 0);
      EXPECT_GT(counts.Opaque, 0);
      EXPECT_EQ(counts.Transparent > 0, FrameOf(*item).TransparentRGB() != clNone);
      if (page == 1 && item->Name() != "MainBkg") {
        EXPECT_GT(counts.OnCard, 100);  // the clock pictures show their cards
      }
      checked.push_back(item->Name());
    }
  }
  EXPECT_EQ(std::count(checked.begin(), checked.end(), "MainBkg"), 8);
  EXPECT_EQ(checked.size(), 8u + 10u);  // the background on every page, the others once
}

}  // namespace
}  // namespace quickintro
