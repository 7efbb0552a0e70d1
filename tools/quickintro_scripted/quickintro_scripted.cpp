// quickintro_scripted.exe: the wizard built from the same sources as
// quickintro.exe, plus the hooks the screenshot and timing scripts drive it
// with. A test build: it is not shipped.
//
//   quickintro_scripted [init] [--press-next N] [--report-painted FILE]
//
// The first argument selects the mode as in quickintro.exe (so "init" must
// come first); the options may follow anywhere. "--press-next N" presses
// Next N times once the window is shown. "--report-painted FILE" writes, once
// the page is painted, the first-paint time (as Unix milliseconds, and as
// milliseconds since the process was created and since WinMain began) and
// the window's rectangle to FILE, then closes the window without storing
// anything when FILE is deleted.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "quickintro/command_line.h"
#include "quickintro/win32/debug_output.h"
#include "quickintro/win32/wizard_program.h"

namespace {

using quickintro::CommandLineArgument;
using quickintro::TQuickForm;

constexpr UINT_PTR kReportTimer = 1;
constexpr UINT kReportPollMs = 50;
constexpr UINT kSettleMs = 300;  // lets the buttons and frame finish painting
constexpr UINT kReportGiveUpMs = 60000;

// The value after an option anywhere on the line, or an empty text.
std::string OptionValue(const std::string& commandLine, const char* option) {
  for (int i = 1; !CommandLineArgument(commandLine, i).empty(); ++i)
    if (CommandLineArgument(commandLine, i) == option) return CommandLineArgument(commandLine, i + 1);
  return {};
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
class TPaintReporter {
 public:
  TPaintReporter(std::string file, long long programStart) : file_(std::move(file)), programStart_(programStart) {}

  void Attach(TQuickForm& form) { form_ = &form; }

  void AfterPagePaint() {
    if (painted_ || !form_ || !form_->Handle()) return;
    painted_ = true;
    FILETIME created, exited, kernel, user;
    paintedAt_ = NowUnixMilliseconds();
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
      sinceStart_ = paintedAt_ - UnixMilliseconds(created);
    ActiveReporter = this;
    SetTimer(form_->Handle(), kReportTimer, kSettleMs, &TPaintReporter::OnTimer);
  }

 private:
  static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR, DWORD) {
    try {
      if (ActiveReporter) ActiveReporter->Tick(hwnd);
    } catch (...) {
      // A script hook that fails ends the run, and says why.
      quickintro::WriteDebugLine("the scripted run's report", quickintro::CaughtFailureText());
      DestroyWindow(hwnd);
    }
  }

  void Tick(HWND hwnd) {
    if (!written_) {
      written_ = true;
      WriteReport(hwnd);
      SetTimer(hwnd, kReportTimer, kReportPollMs, &TPaintReporter::OnTimer);
      return;
    }
    waitedMs_ += kReportPollMs;
    if (GetFileAttributesA(file_.c_str()) != INVALID_FILE_ATTRIBUTES && waitedMs_ < kReportGiveUpMs) return;
    KillTimer(hwnd, kReportTimer);
    DestroyWindow(hwnd);  // ends the program without storing anything
  }

  // Written beside FILE and renamed, so that a script never reads half of it.
  void WriteReport(HWND hwnd) const {
    RECT frame;
    GetWindowRect(hwnd, &frame);
    const std::string partial = file_ + ".part";
    FILE* out = std::fopen(partial.c_str(), "w");
    if (!out) return;
    std::fprintf(out, "%lld %lld %lld %ld %ld %ld %ld\n", paintedAt_, sinceStart_, paintedAt_ - programStart_,
                 frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
    std::fclose(out);
    MoveFileExA(partial.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING);
  }

  static inline TPaintReporter* ActiveReporter = nullptr;  // the timer procedure's way back
  TQuickForm* form_ = nullptr;
  std::string file_;
  long long programStart_;  // when WinMain began
  bool painted_ = false, written_ = false;
  long long paintedAt_ = 0, sinceStart_ = -1;
  UINT waitedMs_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const long long programStart = NowUnixMilliseconds();
  const std::string commandLine = GetCommandLineA();
  const int presses = std::atoi(OptionValue(commandLine, "--press-next").c_str());
  const std::string reportFile = OptionValue(commandLine, "--report-painted");
  TPaintReporter reporter(reportFile, programStart);
  quickintro::TProgramHooks hooks;
  hooks.Created = [&reporter](TQuickForm& form) { reporter.Attach(form); };
  hooks.Shown = [presses](TQuickForm& form) {
    for (int i = 0; i < presses; ++i) form.NextBtnClick();
  };
  if (!reportFile.empty()) hooks.AfterPagePaint = [&reporter] { reporter.AfterPagePaint(); };
  return quickintro::RunProgram(instance, commandLine, hooks);
}
