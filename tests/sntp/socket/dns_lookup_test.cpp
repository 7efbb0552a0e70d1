// The socket's asynchronous name lookups, completed through its window.
#include "socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::testing;

struct DnsLookup : ::testing::Test {
  std::vector<int> done;  // outlives the socket, whose destruction may fire
  TProbeSocket socket;

  void SetUp() override {
    socket.OnDnsLookupDone = [this](TComponent*, uint16_t Error) { done.push_back(Error); };
  }
};

TEST_F(DnsLookup, NameCompletesFromTheMessageLoop) {
  socket.DnsLookup("localhost");
  EXPECT_TRUE(done.empty());
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
  ASSERT_FALSE(socket.DnsResultList().empty());
  EXPECT_EQ(socket.DnsResultList().front(), "127.0.0.1");
}

TEST_F(DnsLookup, DottedAddressCompletesBeforeItReturns) {
  socket.DnsLookup("localhost");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  socket.DnsLookup("10.1.2.3");
  EXPECT_EQ(done, (std::vector<int>{0, 0}));
  EXPECT_EQ(socket.DnsResult(), "10.1.2.3");
  EXPECT_TRUE(socket.DnsResultList().empty()) << "the earlier lookup's list is cleared";
}

TEST_F(DnsLookup, ReverseLookupOfLoopbackGivesOneName) {
  socket.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  ASSERT_EQ(socket.DnsResultList().size(), 1u);
  EXPECT_EQ(socket.DnsResult(), socket.DnsResultList()[0]);
  EXPECT_FALSE(socket.DnsResult().empty());
}

TEST_F(DnsLookup, CancelTellsInterruptAndIgnoresTheStaleCompletion) {
  socket.CancelDnsLookup();
  EXPECT_TRUE(done.empty()) << "nothing pending, nothing told";
  socket.DnsLookup("localhost");
  const HANDLE cancelled = socket.LookupHandle;
  ASSERT_NE(cancelled, nullptr);
  socket.CancelDnsLookup();
  EXPECT_EQ(done, std::vector<int>{10004});
  PostMessageA(socket.GetWindowHandle(), WM_HOSTNAME_LOOKUP_DONE, reinterpret_cast<WPARAM>(cancelled), 0);
  PostMessageA(socket.GetWindowHandle(), WM_HOSTADDR_LOOKUP_DONE, reinterpret_cast<WPARAM>(cancelled), 0);
  PumpPosted();
  EXPECT_EQ(done, std::vector<int>{10004});
}

TEST_F(DnsLookup, EmptyTextsAreReported) {
  EXPECT_EQ(ErrorText([&] { socket.DnsLookup(""); }), "DNS lookup: invalid host name.");
  EXPECT_TRUE(done.empty()) << "a raised report ends the lookup";
  int errors = 0;
  socket.OnError = [&](TComponent*) { ++errors; };
  socket.DnsLookup("");
  socket.ReverseDnsLookup("");
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(done, (std::vector<int>{10022, 10022}));
}

TEST(DnsLookupLifetime, DestroyingCancelsAPendingLookup) {
  std::vector<int> done;
  const auto record = [&](TComponent*, uint16_t Error) { done.push_back(Error); };
  {
    TWSocket alone;
    alone.OnDnsLookupDone = record;
    alone.DnsLookup("localhost");
  }
  EXPECT_EQ(done, std::vector<int>{10004});
  {
    TComponent owner;
    auto* owned = new TWSocket(&owner);
    owned->OnDnsLookupDone = record;
    owned->DnsLookup("localhost");
  }
  EXPECT_EQ(done, std::vector<int>{10004}) << "an owner's destruction tells nothing";
}

}  // namespace
}  // namespace sntp
