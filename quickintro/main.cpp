// quickintro.exe: the Quick Introduction to Zaradada Clock.
//
//   quickintro [init]     "init" first: first-run mode, eight pages, the
//                          clock-mode choice stored on closing
//   quickintro --help     usage
//
// Hidden options for scripts: "--press-next N" presses Next N times once
// the window is shown; "--report-painted FILE" writes the first-paint time
// (as Unix milliseconds, and as milliseconds since the process was created
// and since the program's own code began) and the window's rectangle to FILE
// once the page is painted, then closes
// the window (without storing anything) when FILE is deleted.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "command_line.h"
#include "gif_picture.h"
#include "quick_form.h"

namespace {

using quickintro::CommandLineArgument;

constexpr const char* kUsage =
    "Quick Introduction to Zaradada Clock\r\n"
    "\r\n"
    "Usage: quickintro [init]\r\n"
    "\r\n"
    "  init     first-run mode: all eight pages, among them the choice between\r\n"
    "           tray clock and floating clock; closing the window stores it as\r\n"
    "           ChangeTrayClock (\"1\" tray, \"0\" floating) under\r\n"
    "           HKEY_CURRENT_USER\\Software\\Zirazazur\\Options\r\n"
    "  (none)   six pages; nothing is written\r\n"
    "  --help   this text\r\n";

constexpr UINT_PTR kReportTimer = 1;
constexpr UINT kReportPollMs = 50;
constexpr UINT kSettleMs = 300;      // lets the buttons and frame finish painting
constexpr UINT kReportGiveUpMs = 60000;

struct ProgramHooks {
  int pressNext = 0;
  std::string reportFile;
};

bool HasArgument(const std::string& commandLine, const char* wanted, int* position = nullptr) {
  for (int i = 1;; ++i) {
    std::string argument = CommandLineArgument(commandLine, i);
    if (argument.empty()) return false;
    if (argument == wanted) {
      if (position) *position = i;
      return true;
    }
  }
}

ProgramHooks ReadHooks(const std::string& commandLine) {
  ProgramHooks hooks;
  int at = 0;
  if (HasArgument(commandLine, "--press-next", &at)) hooks.pressNext = std::atoi(CommandLineArgument(commandLine, at + 1).c_str());
  if (HasArgument(commandLine, "--report-painted", &at)) hooks.reportFile = CommandLineArgument(commandLine, at + 1);
  return hooks;
}

// Prints to the standard output or the console the program was started
// from; a message box when there is neither.
void ShowUsage() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  DWORD written = 0;
  DWORD length = static_cast<DWORD>(strlen(kUsage));
  if (out && out != INVALID_HANDLE_VALUE && WriteFile(out, kUsage, length, &written, nullptr) && written == length)
    return;
  MessageBoxA(nullptr, kUsage, quickintro::kApplicationTitle, MB_OK | MB_ICONINFORMATION);
}

long long UnixMilliseconds(FILETIME time) {
  ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  return static_cast<long long>(value.QuadPart / 10000) - 11644473600000LL;
}

long long NowUnixMilliseconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return UnixMilliseconds(now);
}

// Reports the first page paint for the screenshot and timing scripts.
class PaintReporter {
 public:
  PaintReporter(quickintro::TQuickForm*& form, std::string file, long long programStart)
      : form_(form), file_(std::move(file)), programStart_(programStart) {}

  void AfterPagePaint() {
    if (painted_ || !form_) return;
    painted_ = true;
    FILETIME created, exited, kernel, user;
    paintedAt_ = NowUnixMilliseconds();
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
      sinceStart_ = paintedAt_ - UnixMilliseconds(created);
    SetTimer(form_->Handle(), kReportTimer, kSettleMs, &PaintReporter::OnTimer);
    active_ = this;
  }

 private:
  static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR, DWORD) {
    try {
      if (active_) active_->Tick(hwnd);
    } catch (...) {
      DestroyWindow(hwnd);  // a script hook that fails just ends the run
    }
  }

  void Tick(HWND hwnd) {
    if (!written_) {
      written_ = WriteReport(hwnd);
      SetTimer(hwnd, kReportTimer, kReportPollMs, &PaintReporter::OnTimer);
      return;
    }
    waitedMs_ += kReportPollMs;
    if (GetFileAttributesA(file_.c_str()) != INVALID_FILE_ATTRIBUTES && waitedMs_ < kReportGiveUpMs) return;
    KillTimer(hwnd, kReportTimer);
    DestroyWindow(hwnd);  // ends the program without storing anything
  }

  bool WriteReport(HWND hwnd) {
    RECT frame;
    GetWindowRect(hwnd, &frame);
    std::string partial = file_ + ".part";
    FILE* out = std::fopen(partial.c_str(), "w");
    if (!out) return true;
    std::fprintf(out, "%lld %lld %lld %ld %ld %ld %ld\n", paintedAt_, sinceStart_, paintedAt_ - programStart_,
                 frame.left, frame.top,
                 frame.right - frame.left, frame.bottom - frame.top);
    std::fclose(out);
    MoveFileExA(partial.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING);
    return true;
  }

  static inline PaintReporter* active_ = nullptr;
  quickintro::TQuickForm*& form_;
  std::string file_;
  bool painted_ = false, written_ = false;
  long long programStart_;  // when the program's own code began
  long long paintedAt_ = 0, sinceStart_ = -1;
  UINT waitedMs_ = 0;
};

int RunWizard(HINSTANCE instance, const std::string& commandLine, long long programStart) {
  // The layout's pictures are read through the registered picture classes.
  quickintro::gif::RegisterGIFImage();
  ProgramHooks hooks = ReadHooks(commandLine);
  quickintro::TQuickForm* shown = nullptr;
  PaintReporter reporter(shown, hooks.reportFile, programStart);
  quickintro::QuickFormOptions options;
  options.commandLine = commandLine;
  if (!hooks.reportFile.empty()) options.afterPagePaint = [&reporter] { reporter.AfterPagePaint(); };

  quickintro::TQuickForm form(instance, quickintro::LoadLayoutResource(instance), std::move(options));
  shown = &form;
  form.Show();
  for (int i = 0; i < hooks.pressNext; ++i) form.NextBtnClick();
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (form.TranslateDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  long long programStart = NowUnixMilliseconds();
  std::string commandLine = GetCommandLineA();
  if (HasArgument(commandLine, "--help")) {
    ShowUsage();
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    return RunWizard(instance, commandLine, programStart);
  } catch (const std::exception& failure) {
    MessageBoxA(nullptr, failure.what(), quickintro::kApplicationTitle, MB_OK | MB_ICONSTOP);
  } catch (...) {
    MessageBoxA(nullptr, "Unexpected failure", quickintro::kApplicationTitle, MB_OK | MB_ICONSTOP);
  }
  return 1;
}
