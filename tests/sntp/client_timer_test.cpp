// The SNTP client's own timeout: its timer ends an unanswered exchange in
// the thread that owns the sockets, exactly once; ticks that belong to an
// exchange already over are dropped; the interval is the Timeout at the
// timer's creation; the timer comes and goes with the sockets; and a library
// whose client still has its timer is not unloaded under the timer's threads.
//
// Most cases run the timer in virtual time: it ticks only when the test moves
// the clock, so each tick lands at a known point in the message queue.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "client_under_test.h"
#include "manual_timer_clock.h"
#include "sntp/query_rules.h"

namespace sntp {
namespace {

using test::PumpUntil;
using test::TAnswer;
using test::TClientUnderTest;
using test::TResponder;

const TPacket kReply = test::ServerReply(3155673600u);
constexpr int32_t kTimeoutMs = 1000;

void DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Dispatches this thread's messages up to a datagram's readiness message,
// which is left first in the queue; false when none comes in 10 s.
bool DispatchUntilADatagramWaits() {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start <= 10000) {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      continue;
    }
    if (message.message == WM_SOCKET_EVENT && (WSAGETSELECTEVENT(message.lParam) & FD_READ)) return true;
    PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return false;
}

// A client whose timer runs on a virtual clock, asking a responder.
struct TVirtualTimeClient {
  ManualTimerClock Clock;
  TResponder Responder;
  TClientUnderTest Test;

  explicit TVirtualTimeClient(TAnswer Answer, int32_t TimeoutMs = kTimeoutMs)
      : Responder(Answer, kReply), Test(Responder, "0", Clock, TimeoutMs) {}

  // Starts an exchange and waits until the request has been answered (or
  // not) by the responder.
  void QueryAndWaitForTheRequest() {
    const int before = Responder.Requests();
    Test.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return Responder.Requests() > before; }));
  }
  // Moves virtual time to Ms, then delivers what the timer posted.
  void RunUntilAndDispatch(std::int64_t Ms) {
    Clock.RunUntil(Ms);
    DispatchWaitingMessages();
  }
};

TEST(ClientTimer, UnansweredExchangeTimesOutOnceInTheSocketThread) {
  TVirtualTimeClient c(TAnswer::Silent);
  c.QueryAndWaitForTheRequest();
  c.RunUntilAndDispatch(kTimeoutMs - 1);
  EXPECT_EQ(c.Test.Timeout, 0) << "not before Timeout has run";
  c.RunUntilAndDispatch(kTimeoutMs);
  EXPECT_EQ(c.Test.Timeout, 1);
  EXPECT_EQ(c.Test.TimeoutThread, GetCurrentThreadId()) << "the tick is handed to the sockets' thread";
  c.RunUntilAndDispatch(5 * kTimeoutMs);
  EXPECT_EQ(c.Test.Events(), 1) << "the timer is off once the exchange has ended";
}

TEST(ClientTimer, UnansweredExchangesTimeOutOnTheSystemClock) {
  TResponder responder(TAnswer::Silent, kReply);
  TClientUnderTest t(responder, "0", SystemTimerClock(), 100);
  for (int exchange = 1; exchange <= 2; ++exchange) {
    t.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return t.Timeout == exchange; })) << "exchange " << exchange;
    EXPECT_EQ(t.TimeoutThread, GetCurrentThreadId());
  }
  EXPECT_EQ(t.Events(), 2);
}

// A tick posted while the exchange runs, dispatched after something else
// has ended it, is dropped.
TEST(ClientTimer, StaleTicksAreDropped) {
  using TStep = void (*)(TVirtualTimeClient&);
  struct Case { const char* what; TAnswer answer; TStep beforeTheTick, afterTheTick; int dataAvailable, timeouts; };
  const Case cases[] = {
      {"queued behind the reply", TAnswer::Reply,
       [](TVirtualTimeClient& c) {
         c.Test.Client.Query();
         ASSERT_TRUE(DispatchUntilADatagramWaits());
       },
       [](TVirtualTimeClient&) {}, 1, 0},
      {"queued before the caller's deadline ended the exchange", TAnswer::Silent,
       [](TVirtualTimeClient& c) { c.QueryAndWaitForTheRequest(); },
       [](TVirtualTimeClient& c) { c.Test.Client.HandleTimeout(nullptr); }, 0, 1},
      {"queued before a new Query", TAnswer::Silent,
       [](TVirtualTimeClient& c) { c.QueryAndWaitForTheRequest(); },
       [](TVirtualTimeClient& c) { c.QueryAndWaitForTheRequest(); }, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TVirtualTimeClient c(k.answer);
    k.beforeTheTick(c);
    c.Clock.RunUntil(kTimeoutMs);  // the tick is posted, not yet dispatched
    k.afterTheTick(c);
    DispatchWaitingMessages();
    EXPECT_EQ(c.Test.DataAvailable, k.dataAvailable);
    EXPECT_EQ(c.Test.Timeout, k.timeouts);
    EXPECT_EQ(c.Test.Events(), k.dataAvailable + k.timeouts);
  }
}

TEST(ClientTimer, IntervalIsTheTimeoutAtTheTimersCreation) {
  struct Case { const char* what; int32_t atCreation, later; };
  const Case cases[] = {
      {"raised later", 1000, 5000},
      {"lowered later", 5000, 1000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TVirtualTimeClient c(TAnswer::Silent, k.atCreation);
    c.QueryAndWaitForTheRequest();
    c.RunUntilAndDispatch(k.atCreation);
    ASSERT_EQ(c.Test.Timeout, 1);
    c.Test.Client.SetTimeout(k.later);
    c.QueryAndWaitForTheRequest();
    c.RunUntilAndDispatch(2 * k.atCreation - 1);
    EXPECT_EQ(c.Test.Timeout, 1) << "not before the first interval has run again";
    c.RunUntilAndDispatch(2 * k.atCreation);
    EXPECT_EQ(c.Test.Timeout, 2) << "once it has";
  }
}

TEST(ClientTimer, ReleaseEndsTheTimersThreadsAndTheNextQueryMakesANewTimer) {
  TVirtualTimeClient c(TAnswer::Silent);
  c.QueryAndWaitForTheRequest();
  EXPECT_EQ(c.Clock.LiveThreads(), 2);
  c.Clock.RunUntil(kTimeoutMs);  // a tick waits for a window about to go
  c.Test.Client.ReleaseResources();
  EXPECT_EQ(c.Clock.LiveThreads(), 0);
  DispatchWaitingMessages();
  EXPECT_EQ(c.Test.Events(), 0);

  c.QueryAndWaitForTheRequest();
  EXPECT_EQ(c.Clock.LiveThreads(), 2);
  EXPECT_EQ(c.Clock.StartedThreads().size(), 4u);
  c.RunUntilAndDispatch(2 * kTimeoutMs);
  EXPECT_EQ(c.Test.Timeout, 1) << "the new timer ends the new exchange";
}

TEST(ClientTimer, TimerThatCannotBeMadeLeavesTheExchangeWorking) {
  struct Case { const char* what; int refusedThreadStart; };
  const Case cases[] = {{"event-taker thread refused", 1}, {"ticking thread refused", 2}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TVirtualTimeClient c(TAnswer::Reply);
    c.Clock.RefuseThreadStart(k.refusedThreadStart);
    EXPECT_NO_THROW(c.Test.Client.Query());
    EXPECT_TRUE(PumpUntil([&] { return c.Test.DataAvailable == 1; })) << "the reply is still taken";
    EXPECT_EQ(c.Clock.LiveThreads(), 0);
    ASSERT_TRUE(c.Test.QueryAndWaitFor(c.Test.DataAvailable, 2));
    EXPECT_EQ(c.Clock.LiveThreads(), 2) << "the next Query makes the timer";
  }
}

// A client whose timer handler releases the client's resources, as a user
// closing down on a timeout may: the timer goes while its window dispatches.
TEST(ClientTimer, TimeoutHandlerMayReleaseTheTimer) {
  TVirtualTimeClient c(TAnswer::Silent);
  c.Test.Client.OnTimeout = [&](TComponent*) {
    ++c.Test.Timeout;
    c.Test.Client.ReleaseResources();
  };
  c.QueryAndWaitForTheRequest();
  c.RunUntilAndDispatch(kTimeoutMs);
  EXPECT_EQ(c.Test.Timeout, 1);
  EXPECT_EQ(c.Clock.LiveThreads(), 0);
}

#if defined(__i386__)
#define SNTP_CALL __attribute__((regparm(2)))
#else
#define SNTP_CALL
#endif

template <typename Function>
Function Export(HMODULE Module, const char* Name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
}

// A caller that skips the clean-up and unloads the library: the unload must
// neither wait on the timer's threads (it would hang on the loader lock) nor
// leave them running in unmapped code.
TEST(ClientTimerInTheLibrary, LeftoverClientKeepsTheLibraryLoadedUntilItsCleanUp) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string path = program;
  path = path.substr(0, path.find_last_of("\\:") + 1) + "SNTP.dll";
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << "SNTP.dll beside the test program";
  const auto QueryServer = Export<uint16_t(SNTP_CALL*)(const char*, double*)>(module, "QueryServer");
  const auto SNTPCleanUp = Export<void(SNTP_CALL*)()>(module, "SNTPCleanUp");
  ASSERT_TRUE(QueryServer && SNTPCleanUp);

  double offset = 0;
  EXPECT_EQ(QueryServer("", &offset), qrResolveError) << "the client, its sockets and its timer are made";
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("SNTP.dll"), module) << "held by the client's timer";

  ASSERT_EQ(LoadLibraryA(path.c_str()), module);
  EXPECT_EQ(QueryServer("", &offset), qrResolveError) << "the same client serves on";
  SNTPCleanUp();
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("SNTP.dll"), nullptr) << "unloaded once the clean-up freed the timer";
}

}  // namespace
}  // namespace sntp
