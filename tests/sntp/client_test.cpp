// The SNTP client against a responder in this process, on loopback: what it
// sends, which datagrams it accepts, the round trip it measures and the
// events it fires.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "client_under_test.h"
#include "reply_builder.h"

namespace sntp {
namespace {

using test::PumpUntil;
using test::TAnswer;
using test::TClientUnderTest;
using test::TResponder;

constexpr uint32_t k2000 = 3155673600u;  // 2000-01-01 00:00:00 UTC in NTP seconds
const TPacket kReply = test::ServerReply(k2000);

TEST(ClientExchange, SendsAStampedRequestAndComputesServerTimeFromTheReply) {
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder);
  uint64_t stamp = 0;  // a source that gives 0 once: a request never goes out unstamped
  t.Client.RequestStamps = [&] { return stamp++; };
  // Twice: the second query reuses the closed sockets.
  for (int query = 1; query <= 2; ++query) {
    t.ScriptTicks(1000, 1100);
    ASSERT_TRUE(t.QueryAndWaitFor(t.DataAvailable, query)) << "query " << query;
    const std::vector<uint8_t> request = responder.LastRequest();
    const TPacket expected = BuildRequest(1);
    EXPECT_EQ(request, std::vector<uint8_t>(expected.begin(), expected.end())) << "query " << query;
  }
  EXPECT_EQ(t.Client.RoundTrip(), 100);
  EXPECT_EQ(t.Client.Reply().TransmitTimestamp, 36526.0);
  EXPECT_NEAR(t.Client.Reply().ServerTime, 36526.0 + 0.05 / 86400, 1e-11) << "T3 + 100 ms / 2";
  EXPECT_FALSE(t.Client.Reply().InvalidReply);
  EXPECT_EQ(OriginateStampOf(t.Client.RawReply()), 1u);
  EXPECT_EQ(t.Events(), 2);
}

TEST(ClientExchange, HoldsLocalPort123OnlyDuringTheExchange) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder, "123");
  t.Client.Query();
  EXPECT_FALSE(test::CanBindUdpPort(123));
  ASSERT_TRUE(PumpUntil([&] { return t.DataAvailable == 1; }));
  EXPECT_TRUE(test::CanBindUdpPort(123));
}

TEST(ClientExchange, AcceptsOnlyRightSizedTimelyRepliesFromTheServer) {
  struct Case {
    const char* what;
    TAnswer answer;
    uint32_t receiveTick;  // the request leaves at 1000; Timeout is 4000
    bool event;
    std::string server = "127.0.0.1";
    std::string replyTo = "";  // "": back to the request's source
  };
  const Case cases[] = {
      {"a reply from the server", TAnswer::Reply, 1100, true},
      {"a reply from 127.0.0.1", TAnswer::Reply, 1100, true, "127.0.0.1", "127.0.0.1"},
      {"round trip equal to Timeout", TAnswer::Reply, 5000, true},
      {"round trip 1 ms over Timeout", TAnswer::Reply, 5001, false},
      {"47 bytes", TAnswer::Short47, 1100, false},
      {"68 bytes", TAnswer::Long68, 1100, false},
      // Server 127.0.0.2, reply from this host's network address.
      {"from another address", TAnswer::Reply, 1100, false, "127.0.0.2", test::FirstHostAddress()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.server != "127.0.0.1" && !test::HostHasNetworkAddress()) {
      std::printf("skipped '%s': this host has no network address\n", c.what);
      continue;
    }
    TResponder responder(c.answer, kReply, c.replyTo);
    TClientUnderTest t(responder);
    t.Client.SetHostAddr(c.server);
    t.ScriptTicks(1000, c.receiveTick);
    t.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return t.Client.Received(); }));
    EXPECT_EQ(t.DataAvailable, c.event ? 1 : 0);
    t.Client.HandleTimeout(nullptr);  // a datagram was taken up: nothing fires
    EXPECT_EQ(t.Events(), t.DataAvailable);
  }
}

// Each refused datagram comes before the server's good reply, or alone.
TEST(ClientExchange, RefusedRepliesAreIgnoredAndTheExchangeGoesOn) {
  constexpr uint32_t kTenYearsLater = k2000 + 3652u * 86400u;
  const uint64_t stamp = 0x1122334455667788ull;
  using test::ReplyBuilder;
  const auto good = [&](uint32_t seconds) {
    return ReplyBuilder::Good(seconds).Timestamp(pOriginateTimestamp, uint32_t(stamp >> 32), uint32_t(stamp));
  };
  struct Case { const char* what; TPacket datagram; };
  const Case cases[] = {
      {"kiss-o'-death", ReplyBuilder().Flags(0xE4).raw},
      {"unsynchronised, ten years off", good(kTenYearsLater).Flags(0xDC).Stratum(16).raw},
      {"stratum 0", good(kTenYearsLater).Stratum(0).raw},
      {"zero transmit timestamp", good(k2000).Timestamp(pTransmitTimestamp, 0, 0).raw},
      {"an hour off, for another request", good(k2000 + 3600).Timestamp(pOriginateTimestamp, 7, 7).raw},
      {"our own request heard back", BuildRequest(stamp)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const TAnswer answer : {TAnswer::Reply, TAnswer::Silent}) {
      TResponder responder(answer, kReply, "", {c.datagram});
      TClientUnderTest t(responder);
      t.Client.RequestStamps = [&] { return stamp; };
      t.Client.Query();
      if (answer == TAnswer::Reply) {
        ASSERT_TRUE(PumpUntil([&] { return t.DataAvailable == 1; }));
        EXPECT_EQ(t.Client.Reply().TransmitTimestamp, 36526.0) << "the good reply's time";
        EXPECT_EQ(t.Events(), 1);
        continue;
      }
      ASSERT_TRUE(PumpUntil([&] { return responder.Requests() == 1; }));
      PumpUntil([] { return false; }, 200);  // the datagram is handled
      EXPECT_FALSE(t.Client.Received());
      t.Client.HandleTimeout(nullptr);
      EXPECT_EQ(t.Timeout, 1);
      EXPECT_EQ(t.Events(), 1);
    }
  }
}

TEST(ClientExchange, TimeoutWithNothingReceivedFiresOnce) {
  TResponder responder(TAnswer::Silent, kReply);
  TClientUnderTest t(responder);
  t.Client.Query();
  ASSERT_TRUE(PumpUntil([&] { return responder.Requests() > 0; }));
  t.Client.HandleTimeout(nullptr);
  EXPECT_EQ(t.Timeout, 1);
  EXPECT_EQ(t.Events(), 1);
}

TEST(ClientExchange, HandlerFailureBecomesReceiveErrorAndTheClientGoesOn) {
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder);
  t.Client.OnDataAvailable = [](TComponent*, uint16_t) { throw std::runtime_error("handler"); };
  ASSERT_TRUE(t.QueryAndWaitFor(t.ReceiveError, 1));
  t.Client.OnDataAvailable = [&](TComponent* s, uint16_t) { t.Count(s, t.DataAvailable); };
  EXPECT_TRUE(t.QueryAndWaitFor(t.DataAvailable, 1));
}

TEST(ClientExchange, TakenListenPortIsAWinsockErrorAndTheExchangeGoesOn) {
  SOCKET holder = test::BoundUdpSocket("0.0.0.0", 0);
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder, std::to_string(test::BoundPort(holder)));
  t.Client.Query();
  EXPECT_EQ(t.WinsockErrors, std::vector<uint16_t>{10048}) << "reported inside Query";
  EXPECT_TRUE(PumpUntil([&] { return t.DataAvailable == 1; }));
  closesocket(holder);
}

TEST(ClientExchange, QueryAfterReleaseCreatesTheSocketsAgain) {
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder);
  t.Client.ReleaseResources();  // nothing to release yet
  ASSERT_TRUE(t.QueryAndWaitFor(t.DataAvailable, 1));
  t.Client.ReleaseResources();
  EXPECT_TRUE(t.QueryAndWaitFor(t.DataAvailable, 2));
}

TEST(ClientResolve, ServerTextsThatNameNoServer) {
  // A name goes to the name service (with a network) and fails later, from
  // the message loop; everything else fails inside Query.
  struct Case { const char* what; std::string host; bool needsNoNetwork, isName; };
  const Case cases[] = {
      {"empty", "", false, false},
      {"blanks", "   ", false, false},
      {"300 characters", std::string(300, 'a'), false, false},
      {"non-ASCII name", "\xC3\xA9t\xC3\xA9\xFF.invalid", false, true},
      {"octet above 255", "256.1.1.1", false, false},
      {"three parts (an address to the name service)", "1.2.3", true, false},
  };
  TResponder responder(TAnswer::Reply, kReply);
  const bool network = test::HostHasNetworkAddress();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsNoNetwork && network) continue;  // would go to a real address
    TClientUnderTest t(responder);
    t.Client.SetHostAddr(c.host);
    t.Client.Query();
    EXPECT_EQ(t.ResolveError, c.isName && network ? 0 : 1) << "fired inside Query";
    EXPECT_TRUE(PumpUntil([&] { return t.Events() > 0; }));
    EXPECT_EQ(t.ResolveError, 1);
    EXPECT_EQ(t.Events(), 1);
    EXPECT_EQ(t.Client.ServerIP(), "0.0.0.0");
  }
  EXPECT_EQ(responder.Requests(), 0);
}

TEST(ClientResolve, LoopbackGoesToThisHostsNetworkAddress) {
  TResponder responder(TAnswer::Reply, kReply);
  TClientUnderTest t(responder);
  ASSERT_TRUE(t.QueryAndWaitFor(t.DataAvailable, 1));
  const bool network = test::HostHasNetworkAddress();
  EXPECT_EQ(t.Client.LocalIP(), test::FirstHostAddress());
  EXPECT_EQ(t.Client.ServerIP(), network ? t.Client.LocalIP() : "0.0.0.0");
}

}  // namespace
}  // namespace sntp
