// The wizard at the scale of the system it runs on; CTest runs it under Wine
// at 120, 144 and 192 dots per inch (tools/wine-dpi), and tells it which in
// ZARA_DPI. The window and its items grow with the scale, every text fits
// its box and overlaps no other, the radio buttons' circles leave their
// captions whole, the pictures take their scaled places, and every choice
// works by keyboard and by mouse.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/quickintro/win32/dib_surface.h"
#include "tests/quickintro/win32/form_driver.h"
#include "quickintro/win32/quick_form.h"

namespace quickintro {
namespace {

using namespace quickintro::test;

constexpr COLORREF kCardGrey = RGB(0xE7, 0xE7, 0xE7);
constexpr COLORREF kNotebookBlue = RGB(0x00, 0x80, 0xC0);

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

class TScaledFormTest : public TFormDriver {
 public:
  // Where a label's text lies on its page when painted, in pixels.
  RECT TextRect(const TFormItem& label) {
    const RECT box = Form->PixelRect(label);
    const SIZE size = TMeasure(Form->FontOf(label))
                          .Block(label.Layout->Text, box.right - box.left,
                                 label.Layout->Has(ifWordWrap) ? DT_WORDBREAK : 0);
    int left = box.left;
    if (label.Layout->Align == alCenter) left += (box.right - box.left - size.cx) / 2;
    return RECT{left, box.top, left + size.cx, box.top + size.cy};
  }
};

TEST_F(TScaledFormTest, TheWindowGrowsWithTheScale) {
  Open(kFirstRun);
  const int dpi = SystemDpi();
  if (const char* wanted = std::getenv("ZARA_DPI")) {
    ASSERT_EQ(dpi, std::atoi(wanted)) << "Wine does not run at the scale this test was started for";
  }
  ASSERT_EQ(Form->Dpi(), dpi);
  ExpectWindowsPlaced(2);  // at 144 dpi the window is 1.5 times the window of 96
  RECT frame;
  GetWindowRect(Form->Handle(), &frame);
  EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1);
}

// Each label's text, in the font the window draws it in at this scale, fits
// the label's box; no text overlaps another or a control of its page.
TEST_F(TScaledFormTest, EveryTextFitsItsBoxAndOverlapsNoOther) {
  Open(kFirstRun);
  int labels = 0;
  for (int page = 0; page < 8; ++page) {
    std::vector<std::pair<std::string, RECT>> taken;
    for (const TFormItem* item : Form->PageItems(page)) {
      if (item->Kind() != ikLabel) continue;
      SCOPED_TRACE(item->Name());
      const RECT box = Form->PixelRect(*item), text = TextRect(*item);
      EXPECT_LE(text.right - text.left, box.right - box.left);
      EXPECT_LE(text.bottom - text.top, box.bottom - box.top);
      taken.emplace_back(item->Name(), text);
      ++labels;
    }
    for (const char* control : {"uiTrayClock", "uiDesktopClock"})
      if (GetParent(Window(control)) == Form->PageWindow(page)) taken.emplace_back(control, RectInParent(Window(control)));
    for (size_t i = 0; i < taken.size(); ++i)
      for (size_t j = i + 1; j < taken.size(); ++j) {
        RECT common;
        EXPECT_FALSE(IntersectRect(&common, &taken[i].second, &taken[j].second))
            << taken[i].first << " overlaps " << taken[j].first;
      }
  }
  EXPECT_EQ(labels, 9);
  for (const char* name : {"BackBtn", "NextBtn", "CloseButton"}) {
    SCOPED_TRACE(name);
    const RECT button = RectInParent(Window(name));
    const SIZE caption = TMeasure(Form->FontOf(*Form->Find(name))).Line(WindowText(Window(name)));
    const int border = ScaleToDpi(3, Form->Dpi());  // the button's edge, inside which its caption is drawn
    EXPECT_LE(caption.cx + 2 * border, button.right - button.left);
    EXPECT_LE(caption.cy + 2 * border, button.bottom - button.top);
  }
}

// The columns of a radio button, as drawn, that differ from its background.
std::vector<bool> InkedColumns(HWND radio) {
  RECT client;
  GetClientRect(radio, &client);
  TDibSurface surface(client.right, client.bottom, RGB(0, 255, 0));
  SendMessageA(radio, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
  std::vector<bool> inked(static_cast<size_t>(client.right));
  for (int x = 0; x < client.right; ++x)
    for (int y = 0; y < client.bottom; ++y)
      if (surface.At(x, y) != kCardGrey) inked[static_cast<size_t>(x)] = true;
  return inked;
}

// The circle that the system draws at this scale comes first, then at least
// one clear column, then the whole caption, which ends inside the button.
TEST_F(TScaledFormTest, RadioCirclesLeaveTheirCaptionsWhole) {
  Open(kFirstRun);
  Click("NextBtn");
  for (const char* name : {"uiTrayClock", "uiDesktopClock"}) {
    SCOPED_TRACE(name);
    const std::vector<bool> inked = InkedColumns(Window(name));
    const int width = static_cast<int>(inked.size());
    int x = 0;
    while (x < width && !inked[x]) ++x;
    const int circleLeft = x;
    while (x < width && inked[x]) ++x;
    const int circleRight = x;  // exclusive
    while (x < width && !inked[x]) ++x;
    const int captionLeft = x;
    int captionRight = width;
    while (captionRight > captionLeft && !inked[captionRight - 1]) --captionRight;
    ASSERT_LT(circleLeft, width) << "nothing drawn";
    EXPECT_GE(circleRight - circleLeft, ScaleToDpi(10, Form->Dpi())) << "no circle at this scale";
    EXPECT_GT(captionLeft, circleRight) << "the circle touches its caption";
    EXPECT_LT(captionRight, width) << "the caption runs into the button's edge";
    const SIZE caption = TMeasure(Form->FontOf(*Form->Find(name))).Line(WindowText(Window(name)));
    EXPECT_GE(captionRight - captionLeft, caption.cx - 2) << "the caption is cut";
  }
}

// The pictures are drawn where the layout puts them at this scale, with
// their edges where the layout's edges fall, and are cut by their items.
TEST_F(TScaledFormTest, PicturesTakeTheirScaledPlaces) {
  UseSolidPictures();
  Open(kFirstRun);
  const int dpi = SystemDpi();
  const auto at = [dpi](int value) { return ScaleToDpi(value, dpi); };
  const COLORREF background = TSolidGraphic::ColorFor(393, 210), banner = TSolidGraphic::ColorFor(259, 59);
  const COLORREF hide = TSolidGraphic::ColorFor(241, 138);
  const struct {
    int Page, X, Y;
    COLORREF Expected;
    const char* Why;
  } kPoints[] = {
      {0, at(64), at(15), banner, "WelcomeBkg's top left pixel"},
      {0, at(64) - 1, at(15), background, "left of WelcomeBkg"},
      {0, at(64 + 259) - 1, at(15 + 59) - 1, banner, "WelcomeBkg's bottom right pixel"},
      {0, at(64 + 259), at(15 + 59) - 1, background, "right of WelcomeBkg"},
      {3, at(1 + 240) - 1, at(100), hide, "Image7's last column inside its item"},
      {3, at(1 + 240), at(100), kNotebookBlue, "the column cut off by its item, the page beneath"},
  };
  for (const auto& p : kPoints) EXPECT_EQ(PagePixel(p.Page, p.X, p.Y), p.Expected) << p.Why;
}

// Every choice by keyboard, then by mouse, at this scale.
TEST_F(TScaledFormTest, EveryChoiceByKeyboardAndMouse) {
  Open(kFirstRun);
  for (WPARAM key : {VK_RETURN, VK_TAB, VK_TAB, VK_LEFT}) PressKey(key);
  EXPECT_EQ(ShownPage(), 1);
  EXPECT_EQ(GetFocus(), Window("uiDesktopClock"));
  ExpectChoice(false);
  ClickPageAt(1, 100, 40);  // the tray clock's picture
  ExpectChoice(true);
  ClickPageAt(1, 357, 90);  // the floating clock's picture, its bottom right pixel
  ExpectChoice(false);
  Click("uiTrayClock");
  ExpectChoice(true);
  PressKey(VK_ESCAPE);
  EXPECT_EQ(Form->Handle(), nullptr);
  EXPECT_EQ(Registry.Writes, std::vector<std::string>{"Software\\Zirazazur\\Options\\ChangeTrayClock=1"});
}

}  // namespace
}  // namespace quickintro

int main(int argc, char** argv) {
  quickintro::test::UseUnmanagedWindowsUnderWine();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
