// SNTP.dll as the clock application uses it: loaded by path, its four
// exports found by name, its log beside this test program. Bad server texts,
// a taken local port and an unanswered query each end with the right code
// and offset, and nothing escapes an export.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "responder.h"
#include "sntp/query_rules.h"

namespace sntp {
namespace {

#if defined(__i386__)
#define SNTP_CALL __attribute__((regparm(2)))
#else
#define SNTP_CALL
#endif
using TQueryServer = uint16_t(SNTP_CALL*)(const char*, double*);
using TSNTPCleanUp = void(SNTP_CALL*)();
using TIsConnected = bool(SNTP_CALL*)();
using TSetLoopFunction = void(SNTP_CALL*)(void*);

std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text = path;
  return text.substr(0, text.find_last_of("\\:") + 1);
}

std::string LogPath() { return ProgramDirectory() + "sntp.log"; }

std::string ReadFile(const std::string& Path) {
  std::ifstream file(Path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
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

template <typename Function>
Function Export(HMODULE Module, const char* Name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
}

class SntpLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryA((ProgramDirectory() + "SNTP.dll").c_str());
    ASSERT_NE(module, nullptr) << "SNTP.dll beside the test program";
    QueryServer = Export<TQueryServer>(module, "QueryServer");
    SNTPCleanUp = Export<TSNTPCleanUp>(module, "SNTPCleanUp");
    isConnected = Export<TIsConnected>(module, "isConnected");
    setLoopFunction = Export<TSetLoopFunction>(module, "setLoopFunction");
    ASSERT_TRUE(QueryServer && SNTPCleanUp && isConnected && setLoopFunction);
  }
  void TearDown() override {
    if (!module) return;
    if (SNTPCleanUp) SNTPCleanUp();
    FreeLibrary(module);
  }

  HMODULE module = nullptr;
  TQueryServer QueryServer = nullptr;
  TSNTPCleanUp SNTPCleanUp = nullptr;
  TIsConnected isConnected = nullptr;
  TSetLoopFunction setLoopFunction = nullptr;
};

// -1000.0 to the bit: C0 8F 40 00 00 00 00 00.
::testing::AssertionResult IsFailureOffset(double Offset) {
  uint64_t bits;
  std::memcpy(&bits, &Offset, sizeof bits);
  if (bits == 0xC08F400000000000ull) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "offset " << Offset << " is not -1000.0";
}

TEST(SntpLibraryLoad, EachLoadWritesTheMarkerLine) {
  TLogWatch log;
  for (int load = 0; load < 2; ++load) {
    HMODULE module = LoadLibraryA((ProgramDirectory() + "SNTP.dll").c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(FreeLibrary(module));
  }
  EXPECT_EQ(log.Messages(), std::vector<std::string>(2, std::string(53, '-')));
}

TEST_F(SntpLibrary, BadServerTextsEndWithResolveError) {
  const bool network = test::HostHasNetworkAddress();
  struct Case { const char* what; const char* server; bool needsNoNetwork; };
  const std::string longName(300, 'x');
  const Case cases[] = {
      {"null pointer", nullptr, false},
      {"empty", "", false},
      {"blanks", "   ", false},
      {"300 characters", longName.c_str(), false},
      {"non-ASCII", "\xC3\xA9t\xC3\xA9\xFF.invalid", false},
      {"octet above 255", "256.1.1.1", false},
      {"name that does not resolve", "no-such-host.invalid", false},
      {"three parts (a valid address to the name service)", "1.2.3", true},
  };
  TLogWatch log;
  std::vector<std::string> expected = {"SNTP Object is created"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsNoNetwork && network) continue;  // it would be sent to a real address
    double offset = 12345.0;
    EXPECT_EQ(QueryServer(c.server, &offset), qrResolveError);
    EXPECT_TRUE(IsFailureOffset(offset));
    expected.push_back(std::string("Querying ") + (c.server ? c.server : ""));
  }
  EXPECT_EQ(QueryServer("", nullptr), qrResolveError) << "a null offset pointer is not written";
  expected.push_back("Querying ");
  EXPECT_EQ(log.Messages(), expected);
}

TEST_F(SntpLibrary, CleanUpLogsAndTheNextQueryCreatesAClientAgain) {
  TLogWatch log;
  SNTPCleanUp();  // no client yet
  const bool connected = isConnected();
  EXPECT_EQ(isConnected(), connected) << "Winsock started and released each time";
  setLoopFunction(reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADBEEF)));  // never called
  double offset = 0;
  EXPECT_EQ(QueryServer("", &offset), qrResolveError);
  SNTPCleanUp();
  EXPECT_EQ(QueryServer("", &offset), qrResolveError);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "SNTP Object is destroyed", "SNTP Object is created", "Querying ",
                                "SNTP Object is destroyed", "SNTP Object is created", "Querying "}));
}

TEST_F(SntpLibrary, TakenLocalPort123IsAWinsockError) {
  SOCKET holder = test::BoundUdpSocket("0.0.0.0", 123);
  if (holder == INVALID_SOCKET) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  double offset = 0;
  EXPECT_EQ(QueryServer("127.0.0.1", &offset), qrWinsockError);
  EXPECT_TRUE(IsFailureOffset(offset));
  closesocket(holder);
}

TEST_F(SntpLibrary, UnansweredQueryTimesOutAndKeepsAQuitRequest) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  // Nothing answers on this host's port 123 but the library's own listening
  // socket, which hears the request itself and must not take it for a reply.
  PostQuitMessage(7);
  double offset = 0;
  EXPECT_EQ(QueryServer("127.0.0.1", &offset), qrTimeout);
  EXPECT_TRUE(IsFailureOffset(offset));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      << "the quit request taken off the queue during the wait is posted again";
  EXPECT_EQ(message.wParam, 7u);
}

// A window of the caller whose procedure calls back into the library while
// a query waits, as a clock's own windows may.
std::function<void()> ClockWindowAction;

LRESULT CALLBACK ClockWindowProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_APP) {
    ClockWindowAction();
    return 0;
  }
  return DefWindowProcA(Window, Message, WParam, LParam);
}

// Runs Action from a window procedure during a wait for "127.0.0.1", which
// only the library's own listening socket hears, so the query times out.
uint16_t QueryWhileAWindowProcedureRuns(TQueryServer QueryServer, std::function<void()> Action, double& Offset) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ClockWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SntpTestClockWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
  EXPECT_NE(window, nullptr);
  ClockWindowAction = std::move(Action);
  PostMessageA(window, WM_APP, 0, 0);
  const uint16_t code = QueryServer("127.0.0.1", &Offset);
  DestroyWindow(window);
  return code;
}

TEST_F(SntpLibrary, CleanUpFromAWindowProcedureDuringTheWaitEndsTheQuery) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  double offset = 0;
  EXPECT_EQ(QueryWhileAWindowProcedureRuns(QueryServer, SNTPCleanUp, offset), qrTimeout);
  EXPECT_TRUE(IsFailureOffset(offset));
  EXPECT_EQ(QueryServer("", &offset), qrResolveError) << "and the next query starts afresh";
}

TEST_F(SntpLibrary, QueryFromAWindowProcedureDuringTheWaitIsRefusedAtOnce) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  TLogWatch log;
  uint16_t innerCode = 0xFFFF;
  double innerOffset = 0, outerOffset = 0;
  const uint16_t outerCode = QueryWhileAWindowProcedureRuns(
      QueryServer, [&] { innerCode = QueryServer("", &innerOffset); }, outerOffset);
  EXPECT_EQ(innerCode, qrWinsockError) << "not the Resolve Error the empty text would get";
  EXPECT_TRUE(IsFailureOffset(innerOffset));
  EXPECT_EQ(outerCode, qrTimeout) << "the outer query's own result";
  EXPECT_TRUE(IsFailureOffset(outerOffset));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"SNTP Object is created", "Querying 127.0.0.1"}))
      << "the refused query is not logged";
}

TEST_F(SntpLibrary, UnwritableLogIsSkipped) {
  TLogWatch log;
  {
    HANDLE exclusive = CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    double offset = 0;
    EXPECT_EQ(QueryServer("", &offset), qrResolveError);
    SNTPCleanUp();
    CloseHandle(exclusive);
  }
  double offset = 0;
  EXPECT_EQ(QueryServer("", &offset), qrResolveError);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"SNTP Object is created", "Querying "}));
}

}  // namespace
}  // namespace sntp
