// What a screen reader finds of the wizard from another process. Under Wine
// the accessibility objects answer nothing across processes, so the test
// reads what screen readers on Windows also read: the window tree and each
// window's text (WM_GETTEXT). quickintro.exe runs as a program of its own;
// on each page, shown in turn, the visible windows hold the buttons' names,
// the page's name (what it shows) and every text of the page, in reading
// order.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/quickintro/win32/unmanaged_windows.h"

namespace quickintro {
namespace {

constexpr DWORD kStartMs = 120000;  // an emulated machine is slow to start a program
constexpr UINT kTextTimeoutMs = 5000;
constexpr const char* kCaption = "Quick Introduction to Zaradada Clock";

// The wizard, started beside this test, with its first argument.
class TWizardProcess {
 public:
  explicit TWizardProcess(const std::string& argument) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program = path;
    program = program.substr(0, program.find_last_of('\\') + 1) + "quickintro.exe";
    std::string commandLine = "\"" + program + "\" " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_))
      throw std::runtime_error("cannot start " + program);
    WaitForInputIdle(process_.hProcess, kStartMs);
    form_ = FindWindowOfProcess();
  }
  ~TWizardProcess() {
    if (form_) PostMessageA(form_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  TWizardProcess(const TWizardProcess&) = delete;
  TWizardProcess& operator=(const TWizardProcess&) = delete;

  // Its window with the numbered caption; null when it never showed.
  HWND Window() const { return form_; }

 private:
  struct TSearch {
    DWORD Process;
    HWND Found;
  };

  HWND FindWindowOfProcess() const {
    for (DWORD waited = 0; waited < kStartMs; waited += 50) {
      TSearch search{process_.dwProcessId, nullptr};
      EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
      if (search.Found) return search.Found;
      if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }
  static BOOL CALLBACK FindCaption(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<TSearch*>(search);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    if (process != wanted->Process || !IsWindowVisible(window) ||
        std::string(text).rfind(kCaption, 0) != 0)
      return TRUE;
    wanted->Found = window;
    return FALSE;
  }

  PROCESS_INFORMATION process_{};
  HWND form_ = nullptr;
};

// The text of another process's window, as a screen reader asks for it.
std::string TextOf(HWND window) {
  char text[512] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           kTextTimeoutMs, &copied))
    return "<no answer>";
  return std::string(text, copied);
}

BOOL CALLBACK NoteVisibleText(HWND window, LPARAM texts) {
  if (!IsWindowVisible(window)) return TRUE;
  const std::string text = TextOf(window);
  if (!text.empty()) reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text);
  return TRUE;
}

// The texts of the visible windows inside the wizard's, in the order the
// window tree gives them.
std::vector<std::string> VisibleTexts(HWND form) {
  std::vector<std::string> texts;
  EnumChildWindows(form, NoteVisibleText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

struct TTextSearch {
  std::string Text;
  HWND Found;
};

BOOL CALLBACK FindText(HWND window, LPARAM search) {
  auto* wanted = reinterpret_cast<TTextSearch*>(search);
  if (TextOf(window) != wanted->Text) return TRUE;
  wanted->Found = window;
  return FALSE;
}

HWND ChildWithText(HWND form, const std::string& text) {
  TTextSearch search{text, nullptr};
  EnumChildWindows(form, FindText, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

TEST(ScreenReader, ReadsEveryPageFromAnotherProcess) {
  test::UseUnmanagedWindowsUnderWine("quickintro.exe");
  const std::vector<std::string> kButtons = {"<< Back", "Next >>", "Close"};
  const std::vector<std::vector<std::string>> kPages = {
      {"Welcome to Zaradada Clock!",
       "Here are the most important notes and hints for you\r\nto get the most from Zaradada Clock.",
       "Click Next to start."},
      {"Tray clock or floating clock", "Tray clock", "Floating clock", "Floating clock", "Tray clock",
       "Please select the initial state of Zaradada Clock. \r\nYou can change it with the pop-up menu later."},
      {"The pop-up menu and the Preferences dialog",
       "Right-click the clock to open the pop-up menu.\r\nDouble-click it to open the Preferences dialog."},
      {"Hiding the floating clock", "If the floating clock is over controls, \r\nyou can hide it with one mouse click."},
      {"Running at Windows startup",
       "By default, Zaradada Clock runs at Windows startup. You may change it on the Preferences page."},
      {"Downloading skins",
       "There are some large sites with more than 3000 skins. You can also download selected skins for clocks from "
       "Dedo Clock Collection."},
      {"Adding skins by drag and drop",
       "To add downloaded skins to the list just drag zip-files from Explorer and drop them to the list."},
      {"Keeping the Critical Days page private",
       "Vivizod Adivo feature may be your (or your wife, or your girl-friend) private affair; so, you may want to "
       "hide this page from the others."},
  };
  TWizardProcess wizard("init");
  const HWND form = wizard.Window();
  ASSERT_NE(form, nullptr) << "the wizard's window never showed";
  const HWND next = ChildWithText(form, "Next >>");
  ASSERT_NE(next, nullptr);
  for (size_t page = 0; page < kPages.size(); ++page) {
    SCOPED_TRACE("page " + std::to_string(page + 1));
    if (page > 0) SendMessageA(next, BM_CLICK, 0, 0);
    std::vector<std::string> expected = kButtons;
    expected.insert(expected.end(), kPages[page].begin(), kPages[page].end());
    EXPECT_EQ(VisibleTexts(form), expected);
  }
}

}  // namespace
}  // namespace quickintro

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  // The clock application's value, which the wizard stored as it closed.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zirazazur\\Options");
  return status;
}
