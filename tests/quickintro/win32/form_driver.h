#pragma once
// Drives the wizard's window in-process as a user would: opens it, pumps its
// messages with the window's keyboard handling, clicks its buttons and
// pictures and types keys; shared by the window's tests at 96 dpi and at
// other scales.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quickintro/display_scale.h"
#include "quickintro/win32/quick_form.h"
#include "tests/quickintro/win32/dib_surface.h"
#include "tests/quickintro/win32/unmanaged_windows.h"

namespace quickintro::test {

constexpr const char* kFirstRun = "quickintro.exe init";
constexpr const char* kNormal = "quickintro.exe";

// Records every write and can be told to fail.
class TRecordingRegistry : public TRegistryWriter {
 public:
  bool SetString(const std::string& key, const std::string& valueName, const std::string& value) override {
    Writes.push_back(key + "\\" + valueName + "=" + value);
    return !Fail;
  }
  std::vector<std::string> Writes;
  bool Fail = false;
};

inline std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline RECT RectInParent(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Measures text on the screen in a font.
class TMeasure {
 public:
  explicit TMeasure(HFONT font) : screen_(GetDC(nullptr)), old_(SelectObject(screen_, font)) {}
  ~TMeasure() {
    SelectObject(screen_, old_);
    ReleaseDC(nullptr, screen_);
  }
  TMeasure(const TMeasure&) = delete;
  TMeasure& operator=(const TMeasure&) = delete;
  // The size of the text drawn as the window draws it, within a width.
  SIZE Block(const std::string& text, int width, UINT format) {
    RECT rect{0, 0, width, 0};
    DrawTextA(screen_, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT | DT_NOPREFIX);
    return SIZE{rect.right, rect.bottom};
  }
  SIZE Line(const std::string& text) { return Block(text, 0, DT_SINGLELINE); }
  int LineHeight() {
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen_, &metrics);
    return metrics.tmHeight;
  }

 private:
  HDC screen_;
  HGDIOBJ old_;
};

// A stand-in picture class: fills its rectangle with a colour made from the
// stored GIF's size, so each picture shows where it is drawn and which one
// lies on top.
class TSolidGraphic : public TGraphic {
 public:
  explicit TSolidGraphic(const TStoredPicture& picture)
      : width_(picture.Data->at(6) | picture.Data->at(7) << 8), height_(picture.Data->at(8) | picture.Data->at(9) << 8) {}
  static COLORREF ColorFor(int width, int height) { return RGB(width & 0xFF, height & 0xFF, 7); }
  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }
  void DrawInto(HDC dc, const RECT& target) override {
    UniqueBrush brush(CreateSolidBrush(ColorFor(width_, height_)));
    FillRect(dc, &target, brush.Get());
  }

 private:
  int width_, height_;
};

class TFormDriver : public ::testing::Test {
 public:
  void Open(const char* commandLine, TRegistryWriter* registry = nullptr) {
    TQuickFormOptions options;
    options.CommandLine = commandLine;
    options.Registry = registry ? registry : &Registry;
    options.QuitOnDestroy = false;
    options.ShowError = [this](const std::string& text) { Errors.push_back(text); };
    Form = std::make_unique<TQuickForm>(GetModuleHandleA(nullptr), LoadLayoutResource(GetModuleHandleA(nullptr)),
                                         std::move(options));
    Form->Show();
    Pump();
  }
  void TearDown() override {
    Form.reset();
    if (picturesReplaced_) UnregisterGraphicClass("TGIFImage");
  }
  // Pictures made by Make in place of the GIF pictures, for this test.
  void UsePictures(GraphicFactory make) {
    RegisterGraphicClass("TGIFImage", std::move(make));
    picturesReplaced_ = true;
  }
  void UseSolidPictures() {
    UsePictures([](const TStoredPicture& p) { return std::make_unique<TSolidGraphic>(p); });
  }

  // Dispatches what is queued, with the window's keyboard handling.
  void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (Form && Form->TranslateDialogMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  HWND Window(const char* name) { return Form->Find(name)->Window; }
  void Click(const char* name) {
    SendMessageA(Window(name), BM_CLICK, 0, 0);
    Pump();
  }
  // A key as the user types it: down and up to the focused control, through
  // the message loop; Shift held down for it when asked.
  void PressKey(WPARAM key, bool shift = false) {
    HoldShift(shift);
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : Form->Handle(), WM_KEYDOWN, key, 0);
    PostMessageA(focus ? focus : Form->Handle(), WM_KEYUP, key, 0xC0000000);
    Pump();
    HoldShift(false);
  }
  static void HoldShift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  // A mouse click on a page at a point of the layout (at 96 dpi), which
  // lands where the window shows that point at its scale.
  void ClickPageAt(int page, int x, int y) {
    const LPARAM at = MAKELPARAM(ScaleToDpi(x, Form->Dpi()), ScaleToDpi(y, Form->Dpi()));
    SendMessageA(Form->PageWindow(page), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Form->PageWindow(page), WM_LBUTTONUP, 0, at);
    Pump();
  }
  std::string Caption() { return WindowText(Form->Handle()); }
  int ShownPage() {
    int shown = -1;
    for (int page = 0; page < 8; ++page)
      if (IsWindowVisible(Form->PageWindow(page))) {
        EXPECT_EQ(shown, -1) << "two pages showing";
        shown = page;
      }
    return shown;
  }
  bool Checked(const char* name) { return SendMessageA(Window(name), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Enabled(const char* name) { return IsWindowEnabled(Window(name)) != FALSE; }
  bool Visible(const char* name) { return Form->Find(name)->Visible; }
  // The windows of the controls, the pages and the texts where the layout
  // puts them at the window's scale (exactly at 96 dpi, within a pixel of
  // the exact product at others), with their texts, and the window's client
  // area within ClientTolerance.
  void ExpectWindowsPlaced(double clientTolerance = 1) {
    const struct {
      const char* Name;
      int Left, Top, Width, Height;
      const char* Text;
    } kWindows[] = {
        {"BackBtn", 150, 234, 82, 28, "<< Back"},
        {"NextBtn", 232, 234, 82, 28, "Next >>"},
        {"CloseButton", 327, 234, 82, 28, "Close"},
        {"Notebook", 16, 16, 391, 206, ""},
        {"uiDesktopClock", 233, 103, 108, 17, "Floating clock"},
        {"uiTrayClock", 69, 103, 89, 17, "Tray clock"},
        {"TrayClockImg", 38, 32, 148, 60, "Tray clock"},
        {"DesktopClockImg", 210, 31, 148, 60, "Floating clock"},
        {"Label3", 170, 126, 201, 55, nullptr},
        {"Label8", 279, 183, 107, 13, "Click Next to start."},
        {"Label6", 40, 135, 271, 52, "Vivizod Adivo feature may be your (or your wife, or your girl-friend) private "
                                     "affair; so, you may want to hide this page from the others."},
    };
    const int dpi = Form->Dpi();
    const double scale = dpi / 96.0, tolerance = dpi == 96 ? 0 : 1;
    for (const auto& w : kWindows) {
      SCOPED_TRACE(w.Name);
      const RECT rect = RectInParent(Window(w.Name));
      EXPECT_NEAR(rect.left, w.Left * scale, tolerance);
      EXPECT_NEAR(rect.top, w.Top * scale, tolerance);
      EXPECT_NEAR(rect.right, (w.Left + w.Width) * scale, tolerance);
      EXPECT_NEAR(rect.bottom, (w.Top + w.Height) * scale, tolerance);
      if (w.Text) {
        EXPECT_EQ(WindowText(Window(w.Name)), w.Text);
      }
    }
    EXPECT_EQ(RectInParent(Window("BackBtn")).right, RectInParent(Window("NextBtn")).left);  // touching
    for (int page = 0; page < 8; ++page) {
      RECT rect;
      GetClientRect(Form->PageWindow(page), &rect);
      EXPECT_NEAR(rect.right, 391 * scale, tolerance);
      EXPECT_NEAR(rect.bottom, 206 * scale, tolerance);
    }
    RECT client;
    GetClientRect(Form->Handle(), &client);
    EXPECT_NEAR(client.right, 427 * scale, dpi == 96 ? 0 : clientTolerance);
    EXPECT_NEAR(client.bottom, 272 * scale, dpi == 96 ? 0 : clientTolerance);
  }
  // Exactly one clock chosen: its radio checked and its card framed, the
  // other neither.
  void ExpectChoice(bool trayClock) {
    const char* radios[] = {"uiDesktopClock", "uiTrayClock"};
    const char* frames[] = {"DBevel", "TrBevel"};
    EXPECT_TRUE(Checked(radios[trayClock]) && Visible(frames[trayClock])) << radios[trayClock];
    EXPECT_FALSE(Checked(radios[!trayClock]) || Visible(frames[!trayClock])) << radios[!trayClock];
  }

  // Renders a page with the window's own paint routine (-1: the window
  // itself), at the points asked.
  COLORREF PagePixel(int page, int x, int y) { return RenderedPixels(page, {{x, y}}).front(); }
  std::vector<COLORREF> RenderedPixels(int page, const std::vector<POINT>& points) {
    RECT client;
    GetClientRect(Form->Handle(), &client);
    TDibSurface surface(client.right, client.bottom, 0);
    if (page < 0) SendMessageA(Form->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    else Form->PaintPage(surface.Dc(), page);
    std::vector<COLORREF> pixels;
    for (POINT p : points) {
      const bool inside = p.x >= 0 && p.y >= 0 && p.x < client.right && p.y < client.bottom;
      pixels.push_back(inside ? surface.At(p.x, p.y) : CLR_INVALID);
    }
    return pixels;
  }

  std::unique_ptr<TQuickForm> Form;
  TRecordingRegistry Registry;
  std::vector<std::string> Errors;

 private:
  bool picturesReplaced_ = false;
};

}  // namespace quickintro::test
