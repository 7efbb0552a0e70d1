// The wizard window created in-process and driven by messages and clicks:
// the navigation of both modes, captions, buttons and focus, the keyboard,
// the clock-mode choice, the background picture, the registry write and its
// failure, pixels of rendered pages, the windows that hold the texts, and a
// move to a monitor of another scale.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/quickintro/win32/dib_surface.h"
#include "tests/quickintro/win32/form_driver.h"
#include "quickintro/win32/display_dpi.h"
#include "quickintro/win32/quick_form.h"

namespace quickintro {
namespace {

using namespace quickintro::test;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kNoteYellow = RGB(0xFF, 0xFF, 0xCA);
constexpr COLORREF kCardGrey = RGB(0xE7, 0xE7, 0xE7);

// The stored choice as the clock application reads it.
class TRegistryValue {
 public:
  static std::string Read() {
    char value[16] = {};
    DWORD size = sizeof value, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    LONG status = RegQueryValueExA(key, kChangeTrayClockValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ || size != strlen(value) + 1) return "<wrong type or size>";
    return value;
  }
  static void Write(const char* value) { TWin32RegistryWriter().SetString(kOptionsKey, kChangeTrayClockValue, value); }
  static void Remove() { RegDeleteKeyA(HKEY_CURRENT_USER, kOptionsKey); }
};

std::string CaptionEnding(const char* number) { return std::string("Quick Introduction to Zaradada Clock ") + number; }

class TQuickFormTest : public TFormDriver {
 public:
  struct TVisit {
    int Page;
    const char* Number;
    bool BackEnabled, NextEnabled;
    const char* Focus;  // the focused button, or null where the focus stays
  };
  void ExpectAt(const TVisit& v) {
    EXPECT_EQ(ShownPage(), v.Page);
    EXPECT_EQ(Form->Navigation().PageIndex(), v.Page);
    EXPECT_EQ(Caption(), CaptionEnding(v.Number));
    EXPECT_EQ(Enabled("BackBtn"), v.BackEnabled);
    EXPECT_EQ(Enabled("NextBtn"), v.NextEnabled);
    if (v.Focus) {
      EXPECT_EQ(GetFocus(), Window(v.Focus));
    }
    // The background lies beneath the page showing and on no other.
    EXPECT_EQ(Form->PageHolding("MainBkg"), v.Page);
    ASSERT_FALSE(Form->PageItems(v.Page).empty());
    EXPECT_EQ(Form->PageItems(v.Page).front()->Name(), "MainBkg");
  }
  // Presses Next through the table, then Back all the way, checking each stop.
  void WalkThereAndBack(const std::vector<TVisit>& forward, const std::vector<TVisit>& backward) {
    ExpectAt(forward.front());
    for (size_t i = 1; i < forward.size(); ++i) {
      SCOPED_TRACE("next to page " + std::to_string(forward[i].Page));
      Click("NextBtn");
      ExpectAt(forward[i]);
    }
    for (const TVisit& v : backward) {
      SCOPED_TRACE("back to page " + std::to_string(v.Page));
      Click("BackBtn");
      ExpectAt(v);
    }
  }
  int CountPixels(int page, RECT area, COLORREF color) {
    std::vector<POINT> points;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) points.push_back({x, y});
    int count = 0;
    for (COLORREF pixel : RenderedPixels(page, points)) count += pixel == color;
    return count;
  }

};

// ---- The window ----

TEST_F(TQuickFormTest, WindowShape) {
  Open(kNormal);
  HWND window = Form->Handle();
  LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1);
  EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(TQuickFormTest, WindowsWhereTheLayoutPutsThem) {
  Open(kFirstRun);
  ASSERT_EQ(Form->Dpi(), 96);
  ExpectWindowsPlaced();
  EXPECT_EQ(GetParent(Window("uiTrayClock")), Form->PageWindow(1));
  EXPECT_EQ(GetParent(Window("Label4")), Form->PageWindow(1));
}

TEST_F(TQuickFormTest, LayoutFaultsAreRefusedAndLeaveNoWindow) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const struct {
    const char* Fault;
    void (*Damage)(TFormLayout&);
  } kFaults[] = {
      {"a click bound to no handler",
       [](TFormLayout& layout) { layout.Items[layout.IndexOf("NextBtn")].Bindings[0].Handler = "NextButtonClick"; }},
      {"no background picture", [](TFormLayout& layout) { layout.Items[layout.IndexOf("MainBkg")].Name = "Other"; }},
      {"no tray-clock radio", [](TFormLayout& layout) { layout.Items[layout.IndexOf("uiTrayClock")].Name = "x"; }},
  };
  for (const auto& f : kFaults) {
    SCOPED_TRACE(f.Fault);
    TFormLayout layout = LoadLayoutResource(instance);
    f.Damage(layout);
    TQuickFormOptions options;
    options.QuitOnDestroy = false;
    EXPECT_THROW(TQuickForm(instance, std::move(layout), std::move(options)), ELayoutError);
    EXPECT_EQ(FindWindowA("TQuickForm", nullptr), nullptr);
    EXPECT_EQ(FindWindowA("QuickIntroduction", nullptr), nullptr);
  }
}

// The taskbar shows the application's title; the window keeps its numbered
// caption. What reaches the taskbar's window goes to the wizard.
TEST_F(TQuickFormTest, TaskbarShowsTheApplicationTitle) {
  Open(kFirstRun);
  HWND taskbar = GetWindow(Form->Handle(), GW_OWNER);
  ASSERT_NE(taskbar, nullptr);
  EXPECT_EQ(taskbar, Form->TaskbarWindow());
  EXPECT_EQ(WindowText(taskbar), "Quick Introduction");
  EXPECT_EQ(GetWindow(taskbar, GW_OWNER), nullptr);  // unowned and shown: it has the button
  EXPECT_TRUE(IsWindowVisible(taskbar));
  EXPECT_FALSE(GetWindowLongPtrA(taskbar, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_NE(SendMessageA(taskbar, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(Caption(), CaptionEnding("1/8"));

  SetActiveWindow(taskbar);
  Pump();
  EXPECT_EQ(GetActiveWindow(), Form->Handle());
  SendMessageA(taskbar, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(Form->Handle(), nullptr);
  EXPECT_FALSE(IsWindowVisible(taskbar));
  EXPECT_EQ(Registry.Writes, std::vector<std::string>{"Software\\Zirazazur\\Options\\ChangeTrayClock=1"});
}

// ---- Mode and navigation ----

TEST_F(TQuickFormTest, FirstRunNavigation) {
  Open(kFirstRun);
  WalkThereAndBack(
      {{0, "1/8", false, true, "NextBtn"}, {1, "2/8", true, true, "NextBtn"}, {2, "3/8", true, true, "NextBtn"},
       {3, "4/8", true, true, nullptr},     {4, "5/8", true, true, nullptr},   {5, "6/8", true, true, nullptr},
       {6, "7/8", true, true, nullptr},     {7, "8/8", true, false, "BackBtn"}},
      {{6, "7/8", true, true, "BackBtn"},   {5, "6/8", true, true, nullptr},   {4, "5/8", true, true, nullptr},
       {3, "4/8", true, true, nullptr},     {2, "3/8", true, true, nullptr},   {1, "2/8", true, true, nullptr},
       {0, "1/8", false, true, "NextBtn"}});
}

TEST_F(TQuickFormTest, NormalNavigationSkipsSelectTrayAndCriticalDays) {
  Open(kNormal);
  WalkThereAndBack(
      {{0, "1/6", false, true, "NextBtn"}, {2, "2/6", true, true, "NextBtn"}, {3, "3/6", true, true, nullptr},
       {4, "4/6", true, true, nullptr},     {5, "5/6", true, true, nullptr},   {6, "6/6", true, false, "BackBtn"}},
      {{5, "5/6", true, true, "BackBtn"},   {4, "4/6", true, true, nullptr},   {3, "3/6", true, true, nullptr},
       {2, "2/6", true, true, nullptr},     {0, "1/6", false, true, "NextBtn"}});
}

TEST_F(TQuickFormTest, PageChangesBringTheWindowToTheForeground) {
  Open(kNormal);
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(other);
  Pump();
  ASSERT_EQ(GetForegroundWindow(), other);
  Click("NextBtn");
  EXPECT_EQ(GetForegroundWindow(), Form->Handle());
  DestroyWindow(other);
}

// ---- Keyboard ----

TEST_F(TQuickFormTest, EnterPressesNextAndTabMovesOn) {
  Open(kNormal);
  ASSERT_EQ(GetFocus(), Window("NextBtn"));
  PressKey(VK_RETURN);
  EXPECT_EQ(ShownPage(), 2);
  EXPECT_EQ(Caption(), CaptionEnding("2/6"));
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), Window("CloseButton"));
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), Window("BackBtn"));
  // Enter presses the focused button rather than the default one.
  PressKey(VK_RETURN);
  EXPECT_EQ(ShownPage(), 0);
  EXPECT_EQ(GetFocus(), Window("NextBtn"));
}

// Enter on a radio button presses Next; the radio's page goes, and the
// keyboard must still reach the buttons.
TEST_F(TQuickFormTest, KeysStillWorkAfterTheFocusedRadioGoesOutOfSight) {
  Open(kFirstRun);
  Click("NextBtn");
  SetFocus(Window("uiTrayClock"));
  PressKey(VK_RETURN);
  EXPECT_EQ(ShownPage(), 2);
  EXPECT_EQ(GetFocus(), Window("NextBtn"));
  PressKey(VK_RETURN);
  EXPECT_EQ(ShownPage(), 3);
}

TEST_F(TQuickFormTest, EscapeAndEveryCloseRouteCloseAndStore) {
  const struct {
    const char* How;
    void (*Close)(TQuickFormTest*);
  } kRoutes[] = {
      {"Escape", [](TQuickFormTest* t) { t->PressKey(VK_ESCAPE); }},
      {"Close button", [](TQuickFormTest* t) { t->Click("CloseButton"); }},
      {"Enter on the close button", [](TQuickFormTest* t) {
         SetFocus(t->Window("CloseButton"));
         t->PressKey(VK_RETURN);
       }},
      {"system menu", [](TQuickFormTest* t) { SendMessageA(t->Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& route : kRoutes) {
    SCOPED_TRACE(route.How);
    Registry.Writes.clear();
    Open(kFirstRun);
    HWND window = Form->Handle();
    route.Close(this);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Form->Handle(), nullptr);
    EXPECT_EQ(Registry.Writes, std::vector<std::string>{"Software\\Zirazazur\\Options\\ChangeTrayClock=1"});
    Form.reset();
  }
}

// On the choice page the keys move the focus as in a dialog: Tab enters the
// two clocks at the chosen one, the arrow keys move within them, and the
// choice and its frame follow the focus there.
TEST_F(TQuickFormTest, KeysOnTheChoicePage) {
  Open(kFirstRun);
  Click("NextBtn");
  ASSERT_EQ(GetFocus(), Window("NextBtn"));
  const struct {
    WPARAM Key;
    bool Shift;
    const char* Focus;
    bool TrayClock;
  } kSteps[] = {
      {VK_TAB, false, "CloseButton", true},
      {VK_TAB, false, "uiTrayClock", true},  // the group's tab stop: the chosen clock
      {VK_RIGHT, false, "uiDesktopClock", false},
      {VK_RIGHT, false, "uiTrayClock", true},  // round within the group
      {VK_DOWN, false, "uiDesktopClock", false},
      {VK_LEFT, false, "uiTrayClock", true},
      {VK_UP, false, "uiDesktopClock", false},
      {VK_TAB, false, "BackBtn", false},
      {VK_TAB, true, "uiDesktopClock", false},  // Shift+Tab back in at the new choice
      {VK_TAB, true, "CloseButton", false},
      {VK_LEFT, false, "CloseButton", false},  // the arrows never carry a button's focus
      {VK_RIGHT, false, "CloseButton", false},  // into the clock choice
  };
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    PressKey(kSteps[i].Key, kSteps[i].Shift);
    EXPECT_EQ(GetFocus(), Window(kSteps[i].Focus)) << "focus on " << kSteps[i].Focus;
    ExpectChoice(kSteps[i].TrayClock);
  }
}

BOOL CALLBACK NoteWindowInGroup(HWND child, LPARAM continuing) {
  auto* windows = reinterpret_cast<std::vector<HWND>*>(continuing);
  if (!(GetWindowLongPtrA(child, GWL_STYLE) & WS_GROUP)) windows->push_back(child);
  return TRUE;
}

// Windows ends a group at the next window that starts one, in whatever order
// it walks the pages; so every window but the second clock starts a group,
// and the two clocks are a group of their own however the walk goes.
TEST_F(TQuickFormTest, OnlyTheTwoClocksShareAGroup) {
  Open(kFirstRun);
  std::vector<HWND> continuing;
  EnumChildWindows(Form->Handle(), NoteWindowInGroup, reinterpret_cast<LPARAM>(&continuing));
  EXPECT_EQ(continuing, std::vector<HWND>{Window("uiTrayClock")});
}

// ---- The clock-mode choice ----

TEST_F(TQuickFormTest, PicturesAndRadioButtonsChooseAndTheFramesFollow) {
  const auto expectTray = [this] { ExpectChoice(true); };
  const auto expectFloating = [this] { ExpectChoice(false); };
  Open(kFirstRun);
  Click("NextBtn");
  expectTray();
  ClickPageAt(1, 250, 40);  // on DesktopClockImg
  expectFloating();
  ClickPageAt(1, 100, 40);  // on TrayClockImg
  expectTray();
  Click("uiDesktopClock");
  expectFloating();
  Click("uiDesktopClock");  // already chosen: nothing changes
  expectFloating();
  Click("uiTrayClock");
  expectTray();
  // A click needs the button pressed and released on the same picture.
  SendMessageA(Form->PageWindow(1), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 40));
  SendMessageA(Form->PageWindow(1), WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
  Pump();
  expectTray();
  ClickPageAt(1, 5, 195);  // on the page border only
  expectTray();
}

TEST_F(TQuickFormTest, ChoiceItemsShowThePointingHand) {
  Open(kFirstRun);
  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), "VIDUVIDIVA");
  ASSERT_NE(hand, nullptr);
  for (const char* name : {"TrayClockImg", "DesktopClockImg", "uiTrayClock", "uiDesktopClock"})
    EXPECT_EQ(Form->Find(name)->Cursor, hand) << name;
  EXPECT_EQ(Form->Find("Image1")->Cursor, nullptr);
  Click("NextBtn");
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SendMessageA(Form->PageWindow(1), WM_SETCURSOR, reinterpret_cast<WPARAM>(Window("uiTrayClock")),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), hand);
}

// ---- The registry ----

TEST_F(TQuickFormTest, ClosingStoresTheChoiceInFirstRunMode) {
  TWin32RegistryWriter registry;
  const struct {
    const char* How;
    void (*Choose)(TQuickFormTest*);
    const char* Stored;
    bool Normal = false;
  } kCases[] = {
      {"floating clock picture", [](TQuickFormTest* t) { t->Click("NextBtn"); t->ClickPageAt(1, 250, 40); }, "0"},
      {"floating clock radio, then on to the last page",
       [](TQuickFormTest* t) {
         t->Click("NextBtn");
         t->Click("uiDesktopClock");
         for (int i = 0; i < 6; ++i) t->Click("NextBtn");
       },
       "0"},
      {"normal mode leaves the registry alone", [](TQuickFormTest* t) { t->Click("NextBtn"); }, "7", true},
      // Without a mouse: Enter to the choice, Tab into it, an arrow to the
      // floating clock, Escape to close.
      {"keyboard alone",
       [](TQuickFormTest* t) {
         for (WPARAM key : {VK_RETURN, VK_TAB, VK_TAB, VK_LEFT, VK_ESCAPE}) t->PressKey(key);
         EXPECT_EQ(t->Form->Handle(), nullptr) << "Escape closes";
       },
       "0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.How);
    TRegistryValue::Write("7");
    Open(c.Normal ? kNormal : kFirstRun, &registry);
    c.Choose(this);
    if (Form->Handle()) Click("CloseButton");
    EXPECT_EQ(Form->Handle(), nullptr);
    EXPECT_EQ(TRegistryValue::Read(), c.Stored);
    Form.reset();
  }
  TRegistryValue::Remove();
}

TEST_F(TQuickFormTest, FailedWriteIsShownAndTheWindowStays) {
  Registry.Fail = true;
  Open(kFirstRun);
  Click("CloseButton");
  ASSERT_NE(Form->Handle(), nullptr);
  EXPECT_TRUE(IsWindowVisible(Form->Handle()));
  EXPECT_EQ(Errors, std::vector<std::string>{"Failed to set data for 'ChangeTrayClock'."});
  PressKey(VK_ESCAPE);  // each attempt writes again
  EXPECT_EQ(Registry.Writes.size(), 2u);
  EXPECT_EQ(Errors.size(), 2u);
  Registry.Fail = false;
  Click("CloseButton");
  EXPECT_EQ(Form->Handle(), nullptr);
  EXPECT_EQ(Registry.Writes.size(), 3u);
}

TEST_F(TQuickFormTest, RealWriterReportsAFailedWrite) {
  // A root key that is no key makes both the create and the write fail.
  TWin32RegistryWriter broken(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFF0000)));
  EXPECT_FALSE(broken.SetString(kOptionsKey, kChangeTrayClockValue, "1"));
}

// ---- Rendered pixels ----

TEST_F(TQuickFormTest, EveryPageHasItsBlackBorder) {
  Open(kFirstRun);
  for (int page = 0; page < 8; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    std::vector<COLORREF> border = RenderedPixels(page, {{0, 0}, {390, 0}, {0, 205}, {390, 205}, {200, 0}, {200, 205},
                                                         {0, 100}, {390, 100}});
    for (COLORREF pixel : border) EXPECT_EQ(pixel, kBlack);
  }
}

// A note box lies above its shadow: the box's fill and outline, then a black
// rim 2 pixels wide on the right and 3 high at the bottom.
TEST_F(TQuickFormTest, NoteBoxesCastTheirShadow) {
  Open(kFirstRun);
  const struct {
    int Page;
    RECT Box;  // Shape1 and friends, right and bottom exclusive
    RECT Shadow;  // their black shapes
  } kNotes[] = {
      {2, {9, 9, 301, 60}, {12, 12, 303, 63}},     {3, {137, 9, 376, 58}, {143, 11, 378, 61}},
      {4, {15, 131, 261, 189}, {18, 135, 263, 192}}, {5, {153, 113, 383, 194}, {156, 117, 385, 197}},
      {6, {95, 20, 338, 81}, {98, 24, 340, 84}},     {7, {17, 124, 321, 188}, {20, 127, 323, 190}},
  };
  for (const auto& note : kNotes) {
    SCOPED_TRACE("page " + std::to_string(note.Page));
    int midY = (note.Box.top + note.Box.bottom) / 2, midX = (note.Shadow.left + note.Box.right) / 2;
    std::vector<COLORREF> pixels = RenderedPixels(
        note.Page, {{note.Box.right - 2, note.Box.bottom - 2},  // fill, inside the outline
                    {note.Box.right - 1, midY},                 // the box's outline
                    {note.Box.right, midY},                     // shadow right of the box
                    {note.Shadow.right - 1, midY},
                    {midX, note.Box.bottom},                    // shadow below the box
                    {midX, note.Shadow.bottom - 1}});
    EXPECT_EQ(pixels[0], kNoteYellow);
    for (size_t i = 1; i < pixels.size(); ++i) EXPECT_EQ(pixels[i], kBlack) << "point " << i;
  }
}

TEST_F(TQuickFormTest, ChosenCardCarriesTheLoweredFrame) {
  Open(kFirstRun);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  // Tray clock chosen: TrBevel's rim shows left (beside the card and the
  // picture above), top and bottom of its card; its right edge lies under the
  // card's outline, and the other card has no rim.
  EXPECT_EQ(RenderedPixels(1, {{35, 120}, {36, 44}, {100, 127}, {186, 120}, {300, 122}}),
            (std::vector<COLORREF>{shadow, shadow, highlight, kBlack, kCardGrey}));
  Click("NextBtn");
  Click("uiDesktopClock");
  // Floating clock chosen: DBevel's rim on all four sides of the other card.
  EXPECT_EQ(RenderedPixels(1, {{208, 120}, {209, 44}, {359, 120}, {300, 127}}),
            (std::vector<COLORREF>{shadow, shadow, highlight, highlight}));
}

TEST_F(TQuickFormTest, EtchedFrameAroundTheNotebook) {
  Open(kNormal);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  EXPECT_EQ(RenderedPixels(-1, {{15, 100}, {100, 15}, {407, 100}, {100, 222}, {16, 100}, {14, 100}}),
            (std::vector<COLORREF>{shadow, shadow, highlight, highlight, highlight, GetSysColor(COLOR_BTNFACE)}));
}

TEST_F(TQuickFormTest, LabelsDrawTheirTextInTheirColour) {
  Open(kFirstRun);
  EXPECT_GT(CountPixels(0, {4, 99, 387, 131}, RGB(255, 255, 255)), 200);  // Label10, white heading
  EXPECT_GT(CountPixels(0, {279, 183, 386, 196}, kNoteYellow), 50);      // Label8, the hint
  EXPECT_GT(CountPixels(2, {23, 21, 292, 47}, kBlack), 200);             // Label1 on its note box
}

// ---- Pictures, through a stand-in picture class ----

TEST_F(TQuickFormTest, PicturesDrawnInStackingOrderAndClippedByTheirItem) {
  UseSolidPictures();
  Open(kFirstRun);
  const COLORREF background = TSolidGraphic::ColorFor(393, 210);
  const struct {
    int Page, X, Y;
    COLORREF Expected;
    const char* Why;
  } kPoints[] = {
      {0, 389, 204, background, "MainBkg beneath all, cut by the page"},
      {0, 390, 204, kBlack, "the page border over MainBkg"},
      {0, 100, 30, TSolidGraphic::ColorFor(259, 59), "WelcomeBkg over MainBkg"},
      {2, 200, 190, TSolidGraphic::ColorFor(179, 207), "Image4 over Image1"},
      {2, 50, 190, TSolidGraphic::ColorFor(391, 29), "Image1 beside Image4"},
      {2, 150, 40, kNoteYellow, "the note box over Image4"},
      {3, 240, 100, TSolidGraphic::ColorFor(241, 138), "Image7's last column inside its item"},
      {5, 1, 1, TSolidGraphic::ColorFor(204, 196), "Image3 reaching past the page's corner"},
      {7, 389, 50, TSolidGraphic::ColorFor(370, 112), "Image6 reaching past the page's right edge"},
  };
  for (const auto& p : kPoints) EXPECT_EQ(PagePixel(p.Page, p.X, p.Y), p.Expected) << p.Why;
  // Image7's item is one column narrower than its picture: the column
  // beyond shows what lies beneath.
  EXPECT_EQ(PagePixel(3, 241, 100), PagePixel(3, 241, 65));
  EXPECT_NE(PagePixel(3, 241, 100), TSolidGraphic::ColorFor(241, 138));
}

TEST_F(TQuickFormTest, AutoSizePicturesCatchClicksOverTheirPicture) {
  UseSolidPictures();
  Open(kFirstRun);
  Click("NextBtn");
  ClickPageAt(1, 357, 90);  // the bottom-right pixel of DesktopClockImg
  EXPECT_TRUE(Checked("uiDesktopClock"));
  ClickPageAt(1, 38, 32);  // the top-left pixel of TrayClockImg
  EXPECT_TRUE(Checked("uiTrayClock"));
}

TEST_F(TQuickFormTest, APictureThatCannotBeReadStopsTheWindow) {
  UsePictures([](const TStoredPicture&) -> std::unique_ptr<TGraphic> { throw std::runtime_error("damaged picture"); });
  HINSTANCE instance = GetModuleHandleA(nullptr);
  TQuickFormOptions options;
  options.QuitOnDestroy = false;
  EXPECT_THROW(TQuickForm(instance, LoadLayoutResource(instance), std::move(options)), std::runtime_error);
  EXPECT_EQ(FindWindowA("TQuickForm", nullptr), nullptr);
}

// ---- Screen readers and other scales ----

// Each text of a page is held by a window over its item, for screen readers
// to read: a static control, shown with its page only, that lets the mouse
// through to the page and shows on screen exactly what the page paints
// there.
TEST_F(TQuickFormTest, TextWindowsShowWhatThePagePaints) {
  Open(kFirstRun);
  for (int i = 0; i < 2; ++i) Click("NextBtn");  // the pop-up menu's page
  UpdateWindow(Form->Handle());
  HWND label = Window("Label1");
  char className[32] = {};
  GetClassNameA(label, className, sizeof className);
  EXPECT_STREQ(className, "Static");
  EXPECT_TRUE(IsWindowVisible(label));
  EXPECT_FALSE(IsWindowVisible(Window("Label4")));  // on the page not showing
  EXPECT_EQ(SendMessageA(label, WM_NCHITTEST, 0, 0), HTTRANSPARENT);

  RECT area;
  GetWindowRect(label, &area);
  MapWindowPoints(nullptr, Form->PageWindow(2), reinterpret_cast<POINT*>(&area), 2);
  const int width = area.right - area.left, height = area.bottom - area.top;
  TDibSurface onScreen(width, height, 0), painted(width, height, 0);
  HDC window = GetDC(label);
  BitBlt(onScreen.Dc(), 0, 0, width, height, window, 0, 0, SRCCOPY);
  ReleaseDC(label, window);
  SetViewportOrgEx(painted.Dc(), -area.left, -area.top, nullptr);
  Form->PaintPage(painted.Dc(), 2);
  int differing = 0, black = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      differing += onScreen.At(x, y) != painted.At(x, y);
      black += onScreen.At(x, y) == kBlack;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(black, 200);  // the text is there
}

// Moved to a monitor at 150 %, the window takes the rectangle Windows
// suggests and lays itself out for that scale, where the keys and the mouse
// work as before; moved back, it is as it was.
TEST_F(TQuickFormTest, FollowsAMonitorOfAnotherScale) {
  Open(kFirstRun);
  RECT before;
  GetWindowRect(Form->Handle(), &before);
  const auto buttonLine = [this] {
    return TMeasure(reinterpret_cast<HFONT>(SendMessageA(Window("NextBtn"), WM_GETFONT, 0, 0))).LineHeight();
  };
  const int small = buttonLine();
  RECT suggested{40, 30, 40 + 641, 30 + 408};  // the client area at 144 dpi, with the frame around
  AdjustWindowRectEx(&suggested, GetWindowLongA(Form->Handle(), GWL_STYLE), FALSE,
                     GetWindowLongA(Form->Handle(), GWL_EXSTYLE));
  SendMessageA(Form->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  RECT now;
  GetWindowRect(Form->Handle(), &now);
  EXPECT_TRUE(EqualRect(&now, &suggested));
  EXPECT_EQ(Form->Dpi(), 144);
  ExpectWindowsPlaced();
  EXPECT_GE(buttonLine(), small + 4);
  EXPECT_EQ(RenderedPixels(0, {{0, 0}, {1, 1}, {586, 308}, {585, 307}, {300, 1}}),
            std::vector<COLORREF>(5, kBlack));  // the page border, two pixels wide

  PressKey(VK_RETURN);
  EXPECT_EQ(ShownPage(), 1);
  ClickPageAt(1, 250, 40);  // the floating clock's picture, where it now lies
  ExpectChoice(false);
  for (WPARAM key : {VK_TAB, VK_TAB, VK_LEFT}) PressKey(key);
  EXPECT_EQ(GetFocus(), Window("uiTrayClock"));
  ExpectChoice(true);

  SendMessageA(Form->Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&before));
  Pump();
  GetWindowRect(Form->Handle(), &now);
  EXPECT_TRUE(EqualRect(&now, &before));
  ExpectWindowsPlaced();
}

// At any scale a font's lines are no taller than the line the layout's boxes
// were drawn for, scaled and rounded down, even where the system would
// round the font's size up (under Wine at 240 dpi).
TEST_F(TQuickFormTest, FontLinesKeepToTheirScaledLinesAtEveryScale) {
  Open(kFirstRun);
  for (int dpi : {120, 144, 168, 192, 240, 288}) {
    SCOPED_TRACE(dpi);
    RECT suggested{0, 0, ScaleToDpi(427, dpi), ScaleToDpi(272, dpi)};
    SendMessageA(Form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    for (const char* name : {"Label10", "Label4", "Label1", "uiTrayClock", "NextBtn"}) {
      const TFormItem& item = *Form->Find(name);
      const int height = TMeasure(Form->FontOf(item)).LineHeight(), design = DesignLineHeight(item.Layout->Font) * dpi / 96;
      EXPECT_LE(height, design) << name;
      EXPECT_GE(height, design - 2) << name;
    }
  }
}

// ---- The manifest, as Windows reads it ----

// This program carries the wizard's resources and so its manifest: Windows
// finds per-monitor awareness of the scale (GDI scaling, which serves
// programs unaware of it, is not asked for) and the five supported versions
// where it looks for them.
TEST(QuickIntroManifest, WindowsReadsItsDeclarations) {
  using QuerySettings = BOOL(WINAPI*)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*);
  const auto querySettings = reinterpret_cast<QuerySettings>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
  ASSERT_NE(querySettings, nullptr);
  const auto setting = [&](const wchar_t* space, const wchar_t* name) {
    wchar_t value[64] = {};
    SIZE_T written = 0;
    return querySettings(0, nullptr, space, name, value, std::size(value), &written) ? std::wstring(value)
                                                                                     : std::wstring(L"<none>");
  };
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
            L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true/pm");
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2017/WindowsSettings", L"gdiScaling"), L"<none>");
  EXPECT_TRUE(IsProcessDPIAware());

  // The process's own context; its elements grew a field in later versions,
  // so each version is looked for by its bytes.
  BYTE info[1024] = {};
  SIZE_T size = 0;
  ASSERT_TRUE(QueryActCtxW(0, nullptr, nullptr, CompatibilityInformationInActivationContext, info, sizeof info, &size));
  DWORD count = 0;
  memcpy(&count, info, sizeof count);
  EXPECT_EQ(count, 5u);
  const struct {
    const char* Version;
    GUID Id;
  } kVersions[] = {
      {"Vista", {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}}},
      {"7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
      {"8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
      {"8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
      {"10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}},
  };
  for (const auto& v : kVersions) {
    const auto* id = reinterpret_cast<const BYTE*>(&v.Id);
    EXPECT_NE(std::search(info, info + size, id, id + sizeof v.Id), info + size) << "Windows " << v.Version;
  }
}

}  // namespace
}  // namespace quickintro

int main(int argc, char** argv) {
  quickintro::test::UseUnmanagedWindowsUnderWine();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
