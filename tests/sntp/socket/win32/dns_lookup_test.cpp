// The socket's asynchronous name lookups, completed through its window, as
// the client starts, replaces and cancels them.
#include "sntp/socket/abandoned_lookups.h"
#include "tests/sntp/socket/win32/socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

struct TDnsLookup : ::testing::Test {
  std::vector<int> Done;  // outlives the socket, whose destruction may fire
  TProbeSocket Socket;
  const size_t Kept = AbandonedLookups().Count();  // areas of lookups cancelled before

  void SetUp() override {
    Socket.OnDnsLookupDone = [this](TComponent*, uint16_t error) { Done.push_back(error); };
  }
  // Winsock goes on with a lookup it was told to cancel (Wine always does)
  // and posts its completion, which frees the lookup's area. Only then may
  // a test post a completion of its own for that lookup: one that came
  // while Winsock still wrote the area would free it under Winsock's hands.
  void AwaitLateCompletions() {
    PumpUntil([&] { return AbandonedLookups().Count() == Kept; }, 120000);
  }
};

// A name completes from the message loop, a dotted address before the
// lookup returns.
TEST_F(TDnsLookup, NameCompletesFromTheMessageLoopADottedAddressAtOnce) {
  Socket.DnsLookup("localhost");
  EXPECT_TRUE(Done.empty());
  ASSERT_TRUE(PumpUntil([&] { return !Done.empty(); }));
  EXPECT_EQ(Done, std::vector<int>{0});
  EXPECT_EQ(Socket.DnsResult(), "127.0.0.1");
  Socket.DnsLookup("10.1.2.3");
  EXPECT_EQ(Done, (std::vector<int>{0, 0}));
  EXPECT_EQ(Socket.DnsResult(), "10.1.2.3");
}

TEST_F(TDnsLookup, CancelTellsInterruptAndIgnoresTheStaleCompletion) {
  Socket.CancelDnsLookup();
  EXPECT_TRUE(Done.empty()) << "nothing pending, nothing told";
  Socket.DnsLookup("localhost");
  const HANDLE cancelled = Socket.lookupHandle_;
  ASSERT_NE(cancelled, nullptr);
  Socket.CancelDnsLookup();
  EXPECT_EQ(Done, std::vector<int>{10004});
  AwaitLateCompletions();
  PostMessageA(Socket.GetWindowHandle(), WM_HOSTNAME_LOOKUP_DONE, reinterpret_cast<WPARAM>(cancelled), 0);
  PumpPosted();
  EXPECT_EQ(Done, std::vector<int>{10004});
}

// A lookup replaced by one of a dotted address is cancelled: nothing is
// pending any more, and its completion, come before the cancellation took,
// is not taken for the new one's.
TEST_F(TDnsLookup, AReplacedLookupIsNoLongerPending) {
  Socket.DnsLookup("localhost");
  const HANDLE replaced = Socket.lookupHandle_;
  ASSERT_TRUE(Socket.LookupPending());
  Socket.DnsLookup("10.1.2.3");
  EXPECT_EQ(Done, std::vector<int>{0});
  EXPECT_FALSE(Socket.LookupPending());
  AwaitLateCompletions();
  PostMessageA(Socket.GetWindowHandle(), WM_HOSTNAME_LOOKUP_DONE, reinterpret_cast<WPARAM>(replaced), 0);
  PumpPosted();
  EXPECT_EQ(Done, std::vector<int>{0});
  EXPECT_EQ(Socket.DnsResult(), "10.1.2.3");
}

// A clock's queries cancel a lookup whenever a resolver is slower than the
// deadline. Winsock may go on with a lookup it was told to cancel and write
// its area afterwards, as Wine always does: each area is kept until its late
// completion comes, and freed then; a thousand cancellations leave nothing
// behind. (Where a cancellation takes and no completion ever comes, the area
// is freed once its grace is over: socket_core_test.)
TEST_F(TDnsLookup, AThousandCancelledLookupsLeaveNothingBehind) {
  for (int i = 0; i < 1000; ++i) {
    Socket.DnsLookup("localhost");
    Socket.CancelDnsLookup();
  }
  EXPECT_EQ(Done, std::vector<int>(1000, 10004));
  EXPECT_EQ(AbandonedLookups().Count(), Kept + 1000) << "kept while Winsock may write them";
  AwaitLateCompletions();
  EXPECT_EQ(AbandonedLookups().Count(), Kept) << "each late completion frees its own area";
  EXPECT_EQ(Done.size(), 1000u) << "no late completion is taken for a lookup's result";
}

}  // namespace
}  // namespace sntp
