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
  void TearDown() override { Form.reset(); }

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
  // Exactly one clock chosen: its radio checked and its card framed, the
  // other neither.
  void ExpectChoice(bool trayClock) {
    const char* radios[] = {"uiDesktopClock", "uiTrayClock"};
    const char* frames[] = {"DBevel", "TrBevel"};
    EXPECT_TRUE(Checked(radios[trayClock]) && Visible(frames[trayClock])) << radios[trayClock];
    EXPECT_FALSE(Checked(radios[!trayClock]) || Visible(frames[!trayClock])) << radios[!trayClock];
  }

  std::unique_ptr<TQuickForm> Form;
  TRecordingRegistry Registry;
  std::vector<std::string> Errors;
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

}  // namespace quickintro::test
