// SNTP.dll as the clock application uses it: loaded by path, its four
// exports found by name, its log beside this test program. Bad server texts
// and an unanswered query each end with the right code and offset, nothing
// escapes an export, and calls from several threads at once are served one
// query at a time. (Queries that a time server answers, from busy windows
// and from any thread, are run against one in the end-to-end test.)
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sntp/library/log_line.h"
#include "sntp/library/query_rules.h"
#include "tests/sntp/win32/host_network.h"
#include "tests/sntp/win32/loaded_library.h"

namespace sntp {
namespace {

using test::ProgramDirectory;
using test::TLoadedLibrary;
using test::TQueryServer;

std::string LogPath() { return ProgramDirectory() + "sntp.log"; }

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text, std::ios::openmode mode = std::ios::trunc) {
  std::ofstream(path, std::ios::binary | mode) << text;
}

// The messages of the log lines written since construction, checking the
// stamp in front of each: "dd.mm hh?nn?ss   " and CR LF at the end.
class TLogWatch {
 public:
  TLogWatch() : start_(ReadFile(LogPath()).size()) {}
  std::vector<std::string> Messages() const {
    const std::string added = ReadFile(LogPath()).substr(start_);
    static const std::regex line(R"((\d\d)\.(\d\d) (\d\d)[^\d\r\n]+(\d\d)[^\d\r\n]+(\d\d)   ([^\r\n]*)\r\n)");
    std::vector<std::string> messages;
    std::size_t consumed = 0;
    for (std::sregex_iterator it(added.begin(), added.end(), line), end; it != end; ++it) {
      EXPECT_EQ(static_cast<std::size_t>(it->position()), consumed) << "malformed log text";
      consumed = it->position() + it->length();
      messages.push_back((*it)[6]);
    }
    EXPECT_EQ(consumed, added.size()) << "unterminated log line";
    return messages;
  }

 private:
  std::size_t start_;
};

// The library as a clock uses it: loaded, and cleaned up before it is freed.
class TSntpLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.Complete()) << "SNTP.dll and its exports beside the test program"; }
  void TearDown() override {
    if (library_.SNTPCleanUp) library_.SNTPCleanUp();
    if (library_.Module) FreeLibrary(library_.Module);
  }

  TLoadedLibrary library_;
};

// -1000.0 to the bit: C0 8F 40 00 00 00 00 00.
::testing::AssertionResult IsFailureOffset(double offset) {
  uint64_t bits;
  std::memcpy(&bits, &offset, sizeof bits);
  if (bits == 0xC08F400000000000ull) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "offset " << offset << " is not -1000.0";
}

// A text that names no server fails inside the query, a name that is not
// found fails when the lookup ends: both alike for the clock. A clean-up
// frees the client (none yet at first), and the next query makes it anew.
TEST_F(TSntpLibrary, BadServerTextsEndWithResolveErrorAndCleanUpStartsAfresh) {
  TLogWatch log;
  library_.SNTPCleanUp();
  EXPECT_EQ(library_.IsConnected(), HasNetworkAddress(test::HostAddresses())) << "the last address of this host decides";
  library_.SetLoopFunction(reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADBEEF)));  // never called
  std::vector<std::string> expected = {"SNTP Object is destroyed", "SNTP Object is created"};
  for (const char* server : {static_cast<const char*>(nullptr), "", "256.1.1.1", "no-such-host.invalid"}) {
    SCOPED_TRACE(server ? server : "null pointer");
    double offset = 12345.0;
    EXPECT_EQ(library_.QueryServer(server, &offset), qrResolveError);
    EXPECT_TRUE(IsFailureOffset(offset));
    expected.push_back(std::string("Querying ") + (server ? server : ""));
  }
  library_.SNTPCleanUp();
  EXPECT_EQ(library_.QueryServer("", nullptr), qrResolveError) << "a null offset pointer is not written";
  expected.insert(expected.end(), {"SNTP Object is destroyed", "SNTP Object is created", "Querying "});
  EXPECT_EQ(log.Messages(), expected);
}

// A window of the caller whose procedure calls back into the library while
// a query waits, as a clock's own windows may.
std::function<void()> ClockWindowAction;

LRESULT CALLBACK ClockWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    ClockWindowAction();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Runs Action from a window procedure during a wait for "127.0.0.1": nothing
// answers on this host's port 123 (the library's own listening socket, if it
// has the port, hears the request itself and must not take it for a reply),
// so the query times out.
uint16_t QueryWhileAWindowProcedureRuns(TQueryServer queryServer, std::function<void()> action, double& offset) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ClockWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SntpTestClockWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
  EXPECT_NE(window, nullptr);
  ClockWindowAction = std::move(action);
  PostMessageA(window, WM_APP, 0, 0);
  const uint16_t code = queryServer("127.0.0.1", &offset);
  DestroyWindow(window);
  return code;
}

TEST_F(TSntpLibrary, CleanUpFromAWindowProcedureDuringTheWaitEndsTheQuery) {
  double offset = 0;
  EXPECT_EQ(QueryWhileAWindowProcedureRuns(library_.QueryServer, library_.SNTPCleanUp, offset), qrTimeout);
  EXPECT_TRUE(IsFailureOffset(offset));
  EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError) << "and the next query starts afresh";
}

// A quit request taken off the queue during the outer wait is posted again.
// Another program holds port 123 (or, on Linux without root, Wine refuses
// it to everyone): the query goes on without its listener.
TEST_F(TSntpLibrary, QueryFromAWindowProcedureDuringTheWaitIsRefusedAtOnce) {
  const test::TUdpPortHolder holder(123);
  TLogWatch log;
  PostQuitMessage(7);
  uint16_t innerCode = 0xFFFF;
  double innerOffset = 0, outerOffset = 0;
  const uint16_t outerCode = QueryWhileAWindowProcedureRuns(
      library_.QueryServer, [&] { innerCode = library_.QueryServer("", &innerOffset); }, outerOffset);
  EXPECT_EQ(innerCode, qrWinsockError) << "not the Resolve Error the empty text would get";
  EXPECT_TRUE(IsFailureOffset(innerOffset));
  EXPECT_EQ(outerCode, qrTimeout) << "the outer query's own result";
  EXPECT_TRUE(IsFailureOffset(outerOffset));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"SNTP Object is created", "Querying 127.0.0.1",
                                                      "Query of  refused: another query is running"}));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(TSntpLibrary, UnwritableLogIsSkipped) {
  TLogWatch log;
  {
    HANDLE exclusive = CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    double offset = 0;
    EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError);
    library_.SNTPCleanUp();
    CloseHandle(exclusive);
  }
  double offset = 0;
  EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"SNTP Object is created", "Querying "}));
}

// The log stays within its bound: a line that would take it past the limit
// starts a new log, the old one kept whole as sntp.log.1 (replacing an
// older one).
TEST_F(TSntpLibrary, AFullLogIsKeptAsSntpLog1AndANewOneStarted) {
  const std::string kept = LogPath() + ".1";
  WriteFile(kept, "an older log\r\n");
  const std::string line = "01.01 00:00:00   " + std::string(40, 'x') + "\r\n";
  std::string full;
  while (full.size() + line.size() <= kLogSizeLimit - 10) full += line;
  WriteFile(LogPath(), full);
  TLogWatch log;
  double offset = 0;
  EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError);
  EXPECT_EQ(ReadFile(kept).size(), full.size());
  EXPECT_TRUE(ReadFile(kept) == full) << "the full log is kept as it was";
  const std::string renewed = ReadFile(LogPath());
  EXPECT_LT(renewed.size(), 100u);
  EXPECT_NE(renewed.find("Querying \r\n"), std::string::npos) << renewed;
  DeleteFileA(kept.c_str());
  DeleteFileA(LogPath().c_str());
}

// A line that an earlier write left unfinished (a full disk, a process that
// ended mid-write) is ended before the next one, which stands on its own.
TEST_F(TSntpLibrary, ALineLeftUnfinishedIsEndedBeforeTheNext) {
  const std::string unfinished = "06.12 14:05:09   Querying pool.exa";
  WriteFile(LogPath(), unfinished, std::ios::app);
  const std::size_t start = ReadFile(LogPath()).size();
  double offset = 0;
  EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError);
  const std::string added = ReadFile(LogPath()).substr(start);
  EXPECT_EQ(added.substr(0, 2), "\r\n");
  EXPECT_NE(added.find("   Querying \r\n"), std::string::npos) << added;
}

// The calls of another thread while a query runs. Nothing answers on this
// host's port 123, so a query of "127.0.0.1" waits for its deadline.
class TQueryOnAnotherThread {
 public:
  explicit TQueryOnAnotherThread(TQueryServer queryServer)
      : logStart_(ReadFile(LogPath()).size()), thread_([this, queryServer] {
    const DWORD start = GetTickCount();
    Code = queryServer("127.0.0.1", &Offset);
    Milliseconds = GetTickCount() - start;
    Done = true;
  }) {
    // Inside QueryServer once its query is logged.
    for (int i = 0; i < 500 && !Logged(); ++i) Sleep(10);
  }
  ~TQueryOnAnotherThread() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  uint16_t Code = 0xFFFF;
  double Offset = 0;
  DWORD Milliseconds = 0;
  std::atomic<bool> Done{false};

 private:
  bool Logged() const {
    return ReadFile(LogPath()).find("Querying 127.0.0.1\r\n", logStart_) != std::string::npos;
  }

  const std::size_t logStart_;
  std::thread thread_;
};

// One query at a time: a call while another thread's query runs is refused
// at once, logged, and leaves the running query alone.
TEST_F(TSntpLibrary, AQueryWhileAnotherThreadsRunsIsRefusedAtOnce) {
  TLogWatch log;
  TQueryOnAnotherThread running(library_.QueryServer);
  double offset = 0;
  EXPECT_EQ(library_.QueryServer("10.1.2.3", &offset), qrWinsockError);
  EXPECT_TRUE(IsFailureOffset(offset));
  EXPECT_FALSE(running.Done) << "refused while the other query still runs";
  running.Join();
  EXPECT_EQ(running.Code, qrTimeout) << "the running query's own result";
  EXPECT_TRUE(IsFailureOffset(running.Offset));
  const std::vector<std::string> messages = log.Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Query of 10.1.2.3 refused: another query is running"), 1);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Querying 10.1.2.3"), 0);
}

// Only the querying thread can destroy its windows: a clean-up from another
// thread ends the query at once, and the querying thread frees the client as
// it returns.
TEST_F(TSntpLibrary, ACleanUpFromAnotherThreadEndsTheRunningQuery) {
  TLogWatch log;
  TQueryOnAnotherThread running(library_.QueryServer);
  library_.SNTPCleanUp();
  running.Join();
  EXPECT_EQ(running.Code, qrTimeout);
  EXPECT_TRUE(IsFailureOffset(running.Offset));
  EXPECT_LT(running.Milliseconds, static_cast<DWORD>(kQueryTimeoutMs)) << "ended before its deadline";
  double offset = 0;
  EXPECT_EQ(library_.QueryServer("", &offset), qrResolveError);
  const std::vector<std::string> messages = log.Messages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(messages.end() - 3, messages.end()),
            (std::vector<std::string>{"SNTP Object is destroyed", "SNTP Object is created", "Querying "}));
}

// A caller that skips the clean-up and unloads the library: between queries
// the client holds no socket, window or thread, so it goes with the library
// and nothing of the library runs afterwards. Each load that maps the
// library writes the marker line.
TEST(SntpLibraryLoad, AClientLeftWithoutItsCleanUpGoesWithTheLibrary) {
  const std::string path = ProgramDirectory() + "SNTP.dll";
  TLogWatch log;
  for (int load = 1; load <= 2; ++load) {
    const TLoadedLibrary library;
    ASSERT_TRUE(library.Complete());
    double offset = 0;
    EXPECT_EQ(library.QueryServer("", &offset), qrResolveError) << "the client is made";
    EXPECT_TRUE(FreeLibrary(library.Module));
    EXPECT_EQ(GetModuleHandleA("SNTP.dll"), nullptr) << "load " << load;
  }
  const std::string marker(53, '-');
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{marker, "SNTP Object is created", "Querying ", marker,
                                                      "SNTP Object is created", "Querying "}));
}

// The window classes the library registers, by the instance that owns them.
std::vector<std::string> RegisteredClasses(HMODULE library) {
  std::vector<std::string> registered;
  for (const char* name : {"XSocketWindowClass", "SNTPTimerWindowClass"}) {
    WNDCLASSA found;
    if (GetClassInfoA(library, name, &found)) registered.emplace_back(name);
  }
  return registered;
}

// Unloading runs under Windows' loader lock, where Winsock must not be
// stopped and windows cannot go: so every call leaves neither Winsock
// started nor a window of the library behind, whichever thread comes next.
// Windows keeps a library's window classes when it is unloaded: they go with
// their last window, and the next query registers them anew.
TEST(SntpLibraryLoad, NeitherWinsockNorWindowsOutliveTheCallsThatMadeThem) {
  const std::vector<std::string> none;
  ASSERT_FALSE(test::WinsockStarted()) << "this program holds Winsock started itself";
  for (int load = 1; load <= 3; ++load) {
    SCOPED_TRACE("load " + std::to_string(load));
    const TLoadedLibrary library;
    ASSERT_TRUE(library.Complete());
    const HMODULE module = library.Module;
    library.IsConnected();
    EXPECT_FALSE(test::WinsockStarted()) << "isConnected stops what it started";
    double offset = 0;
    EXPECT_EQ(library.QueryServer("no-such-host.invalid", &offset), qrResolveError);
    EXPECT_FALSE(test::WinsockStarted()) << "the query stops what it started";
    EXPECT_EQ(RegisteredClasses(module), none) << "the query's windows went with it";
    library.SNTPCleanUp();
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleHandleA("SNTP.dll"), nullptr);
    EXPECT_FALSE(test::WinsockStarted());
    EXPECT_EQ(RegisteredClasses(module), none);
  }
}

}  // namespace
}  // namespace sntp
