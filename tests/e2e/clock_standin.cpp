// clock_standin: SNTP.dll's caller as a desktop clock lives, for the
// end-to-end test. A clock's windows repaint, its timers fire, its queue is
// rarely empty, and it may ask from a worker thread. Each case sets up one
// such life, asks SERVER through the exports as the clock does, and checks
// that every QueryServer returns with the expected code by the deadline and
// its margin while the caller's own windows go on being served.
//
//   clock_standin CASE SERVER [--expect CODE] [--margin MS] [--warm]
//
// --warm first asks once for an empty server text, unjudged: in an emulated
// machine a program's first query also loads what windows, Winsock and
// threads need, which can outlast the deadline.
// Prints one line per query and "ok: CASE" or "FAILED: CASE: why"; exits 0
// when every check held, 1 when one failed, 2 when a QueryServer never
// returned (the watchdog ends the program), 64 on a usage error and 69 when
// SNTP.dll cannot be loaded.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sntp/library/query_rules.h"
#include "tests/sntp/win32/loaded_library.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitOutlived = 2;
constexpr int kExitUsage = 64;
constexpr int kExitUnavailable = 69;

const char kUsage[] =
    "usage: clock_standin [--expect CODE] [--margin MS] [--warm] SERVER CASE...\n"
    "Cases: quiet, posting, repainting, slow-timer, from-timer, worker-per-query,\n"
    "worker-while-blocked, two-at-once. CODE is the result code every query must\n"
    "give (default 0); MS how long after the 4000 ms deadline it may come (default 250);\n"
    "--warm asks once, unjudged, before the case.\n";

struct TSettings {
  std::vector<std::string> Cases;
  std::string Case, Server;  // the case that runs
  uint16_t Expected = sntp::qrOk;
  DWORD MarginMs = 250;
  bool Warm = false;
};

TSettings Settings;
sntp::test::TQueryServer QueryServer = nullptr;
bool Failed = false;  // the case that runs failed
// The caller's own messages handled, in its windows, while it asks.
std::atomic<long> Handled{0};

void Fail(const std::string& why) {
  Failed = true;
  std::printf("FAILED: %s: %s\n", Settings.Case.c_str(), why.c_str());
  std::fflush(stdout);
}

// Ends the program when a QueryServer has not returned long after its
// deadline, with the message a person needs: the query outlived it.
class TWatchdog {
 public:
  explicit TWatchdog(const char* what) : what_(what), start_(GetTickCount()) {
    thread_ = std::thread([this] {
      const DWORD limit = sntp::kQueryTimeoutMs + Settings.MarginMs + 10000;
      if (WaitForSingleObject(done_, limit) == WAIT_OBJECT_0) return;
      std::printf("FAILED: %s: %s: QueryServer outlived its deadline: still inside %lu ms after it was called\n",
                  Settings.Case.c_str(), what_, static_cast<unsigned long>(GetTickCount() - start_));
      std::fflush(stdout);
      ExitProcess(kExitOutlived);
    });
  }
  ~TWatchdog() {
    SetEvent(done_);
    thread_.join();
    CloseHandle(done_);
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

 private:
  const char* what_;
  const DWORD start_;
  HANDLE done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread thread_;
};

struct TQueryRecord {
  uint16_t Code = 0xFFFF;
  DWORD Milliseconds = 0;
  long Handled = 0;
};

// One QueryServer of the server, timed, with the caller's messages counted.
TQueryRecord Ask(const char* what) {
  const TWatchdog watchdog(what);
  TQueryRecord record;
  double offset = 0;
  const long handledBefore = Handled.load();
  const DWORD start = GetTickCount();
  record.Code = QueryServer(Settings.Server.c_str(), &offset);
  record.Milliseconds = GetTickCount() - start;
  record.Handled = Handled.load() - handledBefore;
  std::printf("%s %s (%s): code %u %s in %lu ms; the caller's windows handled %ld messages meanwhile\n",
              Settings.Case.c_str(), Settings.Server.c_str(), what, record.Code, sntp::ResultText(record.Code),
              static_cast<unsigned long>(record.Milliseconds), record.Handled);
  std::fflush(stdout);
  return record;
}

// The expected code by the deadline and its margin; an unanswered query,
// which lasts until its deadline, with the caller's windows served all along.
void CheckAnswer(const TQueryRecord& record, const char* what) {
  if (record.Code != Settings.Expected)
    Fail(std::string(what) + ": code " + std::to_string(record.Code) + ", not " + std::to_string(Settings.Expected));
  const DWORD latest = sntp::kQueryTimeoutMs + Settings.MarginMs;
  if (record.Milliseconds > latest)
    Fail(std::string(what) + ": the query outlived its deadline: " + std::to_string(record.Milliseconds) +
         " ms, more than " + std::to_string(latest));
}

void CheckServed(const TQueryRecord& record, const char* what) {
  if (Settings.Expected != sntp::qrOk && record.Handled == 0)
    Fail(std::string(what) + ": the caller's windows were not served while it waited");
}

// ---- the caller's windows ----

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window of the caller: message-only, or shown on the desktop.
HWND MakeWindow(bool shown) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = StandInProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ClockStandInWindow";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Clock", shown ? WS_OVERLAPPEDWINDOW : 0, 40, 40,
                                     200, 120, shown ? nullptr : HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
  if (window && shown) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

constexpr UINT_PTR kSlowTimer = 1;
constexpr UINT_PTR kAskingTimer = 2;
constexpr UINT_PTR kBusyTimer = 3;

void OnTimer(HWND window, UINT_PTR timer) {
  ++Handled;
  if (timer == kSlowTimer) Sleep(25);  // longer than its interval
  if (timer != kAskingTimer) return;
  KillTimer(window, kAskingTimer);
  const TQueryRecord record = Ask("from a timer handler");
  CheckAnswer(record, "from a timer handler");
  CheckServed(record, "from a timer handler");
  PostQuitMessage(0);
}

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_APP:  // an animation driven by posted messages
      ++Handled;
      PostMessageA(window, WM_APP, 0, 0);
      return 0;
    case WM_PAINT: {  // a smooth second hand: every paint asks for the next
      ++Handled;
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    }
    case WM_TIMER:
      OnTimer(window, wParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// ---- the cases ----

void AskAndCheck(const char* what) {
  const TQueryRecord record = Ask(what);
  CheckAnswer(record, what);
  CheckServed(record, what);
}

void Quiet() { CheckAnswer(Ask("no window of its own"), "no window of its own"); }

void Posting() {
  const HWND window = MakeWindow(false);
  PostMessageA(window, WM_APP, 0, 0);
  AskAndCheck("a window that posts itself a message from each one");
  DestroyWindow(window);
}

void Repainting() {
  const HWND window = MakeWindow(true);
  if (!window) return Fail("no window on the desktop: is there a display?");
  UpdateWindow(window);
  InvalidateRect(window, nullptr, FALSE);
  AskAndCheck("a window that repaints itself from each paint");
  DestroyWindow(window);
}

void SlowTimer() {
  const HWND window = MakeWindow(false);
  SetTimer(window, kSlowTimer, 10, nullptr);
  AskAndCheck("a 10 ms timer whose handler takes 25 ms");
  DestroyWindow(window);
}

// The query runs inside the caller's own message loop, from a timer's
// handler, while another timer of the caller keeps firing.
void FromTimer() {
  const HWND window = MakeWindow(false);
  SetTimer(window, kBusyTimer, 10, nullptr);
  SetTimer(window, kAskingTimer, 50, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  DestroyWindow(window);
}

// Each query from a thread of its own, which ends after it.
void WorkerPerQuery() {
  for (int query = 1; query <= 3; ++query) {
    const std::string what = "worker " + std::to_string(query);
    std::thread([&] { CheckAnswer(Ask(what.c_str()), what.c_str()); }).join();
  }
}

// The thread that asked first blocks without pumping its messages while a
// worker asks.
void WorkerWhileBlocked() {
  CheckAnswer(Ask("the first thread"), "the first thread");
  const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([done] {
    CheckAnswer(Ask("a worker"), "a worker");
    SetEvent(done);
  });
  WaitForSingleObject(done, INFINITE);
  worker.join();
  CloseHandle(done);
}

// A second query while a worker's runs is refused at once and leaves the
// running one alone.
void TwoAtOnce() {
  std::atomic<bool> asking{false}, answered{false};
  std::thread worker([&] {
    asking = true;
    CheckAnswer(Ask("the worker"), "the worker");
    answered = true;
  });
  while (!asking) Sleep(1);
  Sleep(100);  // inside QueryServer by now
  const bool wasRunning = !answered;
  const TQueryRecord second = Ask("a second thread meanwhile");
  if (wasRunning && !answered && second.Code != sntp::qrWinsockError)
    Fail("the second query was not refused: code " + std::to_string(second.Code));
  if (wasRunning && answered) Fail("the second query waited for the first one");
  worker.join();
}

const std::map<std::string, std::function<void()>> kCases = {
    {"quiet", Quiet},
    {"posting", Posting},
    {"repainting", Repainting},
    {"slow-timer", SlowTimer},
    {"from-timer", FromTimer},
    {"worker-per-query", WorkerPerQuery},
    {"worker-while-blocked", WorkerWhileBlocked},
    {"two-at-once", TwoAtOnce},
};

bool ParseArguments(int count, char** arguments) {
  std::vector<std::string> words;
  for (int i = 1; i < count; ++i) {
    const std::string argument = arguments[i];
    if (argument == "--warm") {
      Settings.Warm = true;
    } else if ((argument == "--expect" || argument == "--margin") && i + 1 < count) {
      const long value = std::strtol(arguments[++i], nullptr, 10);
      if (argument == "--expect") Settings.Expected = static_cast<uint16_t>(value);
      else Settings.MarginMs = static_cast<DWORD>(value);
    } else {
      words.push_back(argument);
    }
  }
  if (words.size() < 2) return false;
  Settings.Server = words[0];
  Settings.Cases.assign(words.begin() + 1, words.end());
  for (const std::string& name : Settings.Cases) {
    if (kCases.count(name) == 0) return false;
  }
  return true;
}

}  // namespace

int main(int count, char** arguments) {
  if (!ParseArguments(count, arguments)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const sntp::test::TLoadedLibrary library;
  QueryServer = library.QueryServer;
  if (!library.Complete()) {
    std::fputs("clock_standin: SNTP.dll or its exports cannot be loaded\n", stderr);
    return kExitUnavailable;
  }
  if (Settings.Warm) {
    double offset = 0;
    QueryServer("", &offset);
  }
  bool anyFailed = false;
  for (const std::string& name : Settings.Cases) {
    Settings.Case = name;
    Failed = false;
    kCases.at(name)();
    if (!Failed) std::printf("ok: %s\n", name.c_str());
    anyFailed = anyFailed || Failed;
  }
  library.SNTPCleanUp();
  FreeLibrary(library.Module);
  return anyFailed ? kExitFailed : 0;
}
