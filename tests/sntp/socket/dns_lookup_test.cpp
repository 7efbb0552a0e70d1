// The socket's asynchronous name lookups, completed through its window, as
// the client starts, replaces and cancels them.
#include "tests/sntp/socket/socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

struct TDnsLookup : ::testing::Test {
  std::vector<int> Done;  // outlives the socket, whose destruction may fire
  TProbeSocket Socket;

  void SetUp() override {
    Socket.OnDnsLookupDone = [this](TComponent*, uint16_t error) { Done.push_back(error); };
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
  PostMessageA(Socket.GetWindowHandle(), WM_HOSTNAME_LOOKUP_DONE, reinterpret_cast<WPARAM>(replaced), 0);
  PumpPosted();
  EXPECT_EQ(Done, std::vector<int>{0});
  EXPECT_EQ(Socket.DnsResult(), "10.1.2.3");
}

}  // namespace
}  // namespace sntp
