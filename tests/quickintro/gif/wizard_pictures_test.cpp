// The wizard's pages with their pictures: every picture is decoded when the
// window is made, and every page, painted as the user sees it, shows each
// picture's colours where it is opaque and what lies beneath (the cards, the
// background) where it is transparent. Runs under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif_picture.h"
#include "gif_pieces.h"
#include "pixel_surface.h"
#include "quick_form.h"

namespace quickintro::gif {
namespace {

using testing::BitmapPixelColor;
using testing::PixelSurface;

constexpr int kPageWidth = 391;
constexpr int kPageHeight = 206;
constexpr std::uint32_t kCardColor = 0xE7E7E7;

class WizardPictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterGIFImage(); }

  void SetUp() override {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    layout_ = LoadLayoutResource(instance);
    QuickFormOptions options;
    options.commandLine = "quickintro.exe init";
    options.quitOnDestroy = false;
    options.showError = [](const std::string& text) { ADD_FAILURE() << "the wizard reported: " << text; };
    form_ = std::make_unique<TQuickForm>(instance, layout_, std::move(options));
  }

  TGIFFrame& FrameOf(const FormItem& item) {
    auto* graphic = dynamic_cast<GifGraphic*>(item.graphic.get());
    if (!graphic || graphic->Image().FrameList.empty()) throw std::runtime_error(item.Name() + " has no GIF picture");
    return *graphic->Image().FrameList[0];
  }

  std::uint32_t MainBkgColorAt(int x, int y) {
    return BitmapPixelColor(FrameOf(*form_->Find("MainBkg")).FrameBitmap().File(), x, y);
  }

  void Paint(PixelSurface& surface, int page) {
    surface.Fill(RGB(255, 0, 255));
    form_->PaintPage(surface.dc(), page);
  }

  FormLayout layout_;
  std::unique_ptr<TQuickForm> form_;
};

struct PictureFacts {
  const char* name;
  int width, height;
  bool transparent;
};

constexpr PictureFacts kPictures[] = {
    {"MainBkg", 393, 210, false},        {"WelcomeBkg", 259, 59, false}, {"TrayClockImg", 148, 60, true},
    {"DesktopClockImg", 148, 60, true},  {"Image1", 391, 29, false},     {"Image4", 179, 207, false},
    {"Image7", 241, 138, true},          {"Image2", 282, 113, false},    {"Image3", 204, 196, true},
    {"Image5", 457, 173, false},         {"Image6", 370, 112, false},
};

TEST_F(WizardPictures, EveryPictureIsDecodedWhenTheWindowIsMade) {
  for (const PictureFacts& facts : kPictures) {
    SCOPED_TRACE(facts.name);
    FormItem* item = form_->Find(facts.name);
    ASSERT_NE(item, nullptr);
    ASSERT_NE(item->graphic, nullptr);
    TGIFFrame& frame = FrameOf(*item);
    EXPECT_NE(frame.BitmapCache, nullptr);
    EXPECT_EQ(item->graphic->PixelWidth(), facts.width);
    EXPECT_EQ(item->graphic->PixelHeight(), facts.height);
    EXPECT_EQ(frame.TransparentRGB != clNone, facts.transparent);
  }
}

// Where a picture's pixel lands on its page, or false when the page or the
// item clips it.
bool PagePoint(const FormItem& item, int x, int y, POINT& at) {
  const RECT clip = ItemRect(item);
  at = {clip.left + x, clip.top + y};
  if (item.layout->Has(ItemFlag::Center)) {
    at.x += (clip.right - clip.left - item.graphic->PixelWidth()) / 2;
    at.y += (clip.bottom - clip.top - item.graphic->PixelHeight()) / 2;
  }
  return at.x >= 0 && at.y >= 0 && at.x < kPageWidth && at.y < kPageHeight && PtInRect(&clip, at);
}

struct PixelCounts {
  int opaque = 0, transparent = 0, wrong = 0;
};

// Paints the page with the items above the picture hidden, once with the
// picture and once without: opaque pixels must show the picture's colour,
// transparent ones exactly what the page shows without it.
PixelCounts CheckPicture(TQuickForm& form, int page, FormItem& picture, TGIFFrame& frame) {
  const std::vector<FormItem*>& stacking = form.PageItems(page);
  std::vector<FormItem*> above;
  for (auto it = std::find(stacking.begin(), stacking.end(), &picture) + 1; it < stacking.end(); ++it)
    if ((*it)->visible) above.push_back(*it);
  for (FormItem* item : above) item->visible = false;
  PixelSurface with(kPageWidth, kPageHeight, 0), without(kPageWidth, kPageHeight, 0);
  form.PaintPage(with.dc(), page);
  picture.visible = false;
  form.PaintPage(without.dc(), page);
  picture.visible = true;
  for (FormItem* item : above) item->visible = true;

  PixelCounts counts;
  const TBitmap& bitmap = frame.FrameBitmap();
  POINT at;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (!PagePoint(picture, x, y, at)) continue;
      const std::uint32_t color = BitmapPixelColor(bitmap.File(), x, y);
      const bool clear = color == frame.TransparentRGB;
      const std::uint32_t expected = clear ? without.At(at.x, at.y) : color;
      ++(clear ? counts.transparent : counts.opaque);
      if (with.At(at.x, at.y) != expected && ++counts.wrong <= 3)
        ADD_FAILURE() << picture.Name() << " pixel " << x << "," << y << (clear ? " (transparent)" : " (opaque)");
    }
  }
  return counts;
}

TEST_F(WizardPictures, EveryPageShowsItsPicturesTransparentWhereTheyAreSo) {
  int picturesChecked = 0;
  for (int page = 0; page < 8; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    if (page > 0) form_->NextBtnClick();  // the background moves with the page shown
    ASSERT_EQ(form_->PageHolding("MainBkg"), page);
    for (FormItem* item : form_->PageItems(page)) {
      if (item->Kind() != ItemKind::Image || !item->visible) continue;
      TGIFFrame& frame = FrameOf(*item);
      const PixelCounts counts = CheckPicture(*form_, page, *item, frame);
      EXPECT_EQ(counts.wrong, 0) << item->Name();
      EXPECT_GT(counts.opaque, 0) << item->Name();
      EXPECT_EQ(counts.transparent > 0, frame.TransparentRGB != clNone) << item->Name();
      ++picturesChecked;
    }
  }
  // The background is checked on every page, the other ten pictures once.
  EXPECT_EQ(picturesChecked, 8 + 10);
}

TEST_F(WizardPictures, ClockPicturesLetTheCardsAndTheBackgroundThrough) {
  form_->NextBtnClick();  // page 1, "Select Tray"
  PixelSurface page(kPageWidth, kPageHeight, 0);
  Paint(page, 1);
  for (const char* name : {"TrayClockImg", "DesktopClockImg"}) {
    SCOPED_TRACE(name);
    FormItem& picture = *form_->Find(name);
    const RECT card = ItemRect(*form_->Find(std::string(name) == "TrayClockImg" ? "TrShape" : "Shape13"));
    TGIFFrame& frame = FrameOf(picture);
    const TBitmap& bitmap = frame.FrameBitmap();
    int onCard = 0, onBackground = 0;
    POINT at;
    for (int y = 0; y < bitmap.Height(); ++y) {
      for (int x = 0; x < bitmap.Width(); ++x) {
        if (!PagePoint(picture, x, y, at) || BitmapPixelColor(bitmap.File(), x, y) != frame.TransparentRGB) continue;
        const RECT inside{card.left + 1, card.top + 1, card.right - 1, card.bottom - 1};
        if (PtInRect(&inside, at)) {
          EXPECT_EQ(page.At(at.x, at.y), kCardColor) << x << "," << y;
          ++onCard;
        } else if (at.y < card.top - 3 && at.x > 0) {  // above the card and its frame
          EXPECT_EQ(page.At(at.x, at.y), MainBkgColorAt(at.x, at.y)) << x << "," << y;
          ++onBackground;
        }
      }
    }
    EXPECT_GT(onCard, 100);
    EXPECT_GT(onBackground, 100);
  }
}

}  // namespace
}  // namespace quickintro::gif
