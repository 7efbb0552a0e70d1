// The SNTP client against a responder in this process, on loopback: what it
// sends, which datagrams it accepts, the round trip it measures and the
// events it fires.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "responder.h"
#include "sntp/ntp_time.h"
#include "sntp/sntp_client.h"

namespace sntp {
namespace {

using test::PumpUntil;
using test::ServerReply;
using test::TAnswer;
using test::TResponder;

constexpr uint32_t k2000 = 3155673600u;  // 2000-01-01 00:00:00 UTC in NTP seconds
constexpr double kOneMillisecondDays = 1.0 / 86400000.0;

struct TEvents {
  int DataAvailable = 0;
  int Timeout = 0;
  int ResolveError = 0;
  int ReceiveError = 0;
  std::vector<uint16_t> WinsockErrors;
  std::vector<TComponent*> Senders;
};

// A client wired to record its events. ListenPort "0": the listening socket
// takes any free port, so tests do not depend on port 123.
struct TClientUnderTest {
  TSNTP Client;
  TEvents Events;

  explicit TClientUnderTest(const std::string& HostPort, const std::string& ListenPort = "0") {
    Client.SetHostAddr("127.0.0.1");
    Client.SetHostPort(HostPort);
    Client.SetListenPort(ListenPort);
    Client.SetTimeout(4000);
    Client.OnDataAvailable = [this](TComponent* s, uint16_t) { Record(s, Events.DataAvailable); };
    Client.OnTimeout = [this](TComponent* s) { Record(s, Events.Timeout); };
    Client.OnResolveError = [this](TComponent* s) { Record(s, Events.ResolveError); };
    Client.OnReceiveError = [this](TComponent* s) { Record(s, Events.ReceiveError); };
    Client.OnWinsockError = [this](TComponent* s, uint16_t e) {
      Events.WinsockErrors.push_back(e);
      Events.Senders.push_back(s);
    };
  }
  void Record(TComponent* Sender, int& Count) {
    ++Count;
    Events.Senders.push_back(Sender);
  }
  // The request leaves at tick Send, every datagram is signalled at Receive.
  void ScriptTicks(uint32_t Send, uint32_t Receive) {
    auto calls = std::make_shared<int>(0);
    Client.TickCount = [calls, Send, Receive] { return (*calls)++ == 0 ? Send : Receive; };
  }
  int AnyEvent() const {
    return Events.DataAvailable + Events.Timeout + Events.ResolveError + Events.ReceiveError +
           static_cast<int>(Events.WinsockErrors.size());
  }
};

TEST(ClientDefaults, PortsAndTimeout) {
  TSNTP client;
  EXPECT_EQ(client.HostPort(), "123");
  EXPECT_EQ(client.ListenPort(), "123");
  EXPECT_EQ(client.Timeout(), 500);
  client.SetTimeout(-5);
  EXPECT_EQ(client.Timeout(), 0);
}

TEST(ClientExchange, SendsTheRequestAndComputesServerTimeFromTheReply) {
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText());
  // The same client twice: the second query reuses the closed sockets.
  for (int query = 1; query <= 2; ++query) {
    t.ScriptTicks(1000, 1100);
    t.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == query; })) << "query " << query;
  }
  const std::vector<uint8_t> request = responder.LastRequest();
  ASSERT_EQ(request.size(), 48u);
  EXPECT_EQ(request[0], 0x0B);
  EXPECT_EQ(std::count(request.begin(), request.end(), 0), 47);

  EXPECT_EQ(t.Events.Senders.back(), &t.Client);
  EXPECT_EQ(t.Client.RoundTrip(), 100);
  EXPECT_EQ(t.Client.Reply().TransmitTimestamp, 36526.0);
  EXPECT_NEAR(t.Client.Reply().ServerTime, 36526.0 + 50 * kOneMillisecondDays, 1e-11);
  EXPECT_FALSE(t.Client.Reply().InvalidReply);
  EXPECT_EQ(t.Client.RawReply(), ServerReply(k2000));
  EXPECT_EQ(t.Events.Timeout + t.Events.ResolveError + t.Events.ReceiveError, 0);
  EXPECT_TRUE(t.Events.WinsockErrors.empty());
}

TEST(ClientExchange, ListensOnPort123ByDefault) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText(), "123");
  t.Client.Query();
  EXPECT_FALSE(test::CanBindUdpPort(123)) << "port 123 is held during the exchange";
  ASSERT_TRUE(PumpUntil([&] { return t.AnyEvent() > 0; }));
  EXPECT_EQ(t.Events.DataAvailable, 1);
  EXPECT_TRUE(test::CanBindUdpPort(123)) << "and released with the reply";
}

TEST(ClientExchange, AcceptsOnlyRightSizedTimelyRepliesFromTheServer) {
  const std::string hostAddress = test::FirstHostAddress();
  const bool network = test::HostHasNetworkAddress();
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
      {"from another address", TAnswer::Reply, 1100, false, "127.0.0.2", hostAddress},
      {"our own request heard back", TAnswer::EchoRequest, 1100, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.server != "127.0.0.1" && !network) {
      std::printf("skipped '%s': this host has no network address\n", c.what);
      continue;
    }
    TResponder responder(c.answer, ServerReply(k2000), c.replyTo);
    TClientUnderTest t(responder.PortText());
    t.Client.SetHostAddr(c.server);
    t.ScriptTicks(1000, c.receiveTick);
    t.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return t.Client.Received(); }));
    EXPECT_EQ(t.Events.DataAvailable, c.event ? 1 : 0);
    // Once a datagram was taken up, the time-out fires nothing either.
    t.Client.HandleTimeout(nullptr);
    EXPECT_EQ(t.Events.Timeout, 0);
  }
}

TEST(ClientExchange, ReportsRepliesThatFailTheValidityTestAsInvalid) {
  struct Case { const char* what; uint8_t flags, stratum; bool invalid; };
  const Case cases[] = {
      {"stratum 0", 0x1C, 0, true},
      {"stratum 16", 0x1C, 16, true},
      {"leap indicator 3", 0xDC, 2, true},
      {"version 7", 0x3C, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPacket reply = ServerReply(k2000);
    reply[pFlags] = c.flags;
    reply[pStratum] = c.stratum;
    TResponder responder(TAnswer::Reply, reply);
    TClientUnderTest t(responder.PortText());
    t.Client.Query();
    ASSERT_TRUE(PumpUntil([&] { return t.Events.DataAvailable > 0; }));
    EXPECT_EQ(t.Client.Reply().InvalidReply, c.invalid);
  }
}

TEST(ClientExchange, TimeoutWithNothingReceivedClosesAndFiresOnce) {
  TResponder responder(TAnswer::Silent, ServerReply(k2000));
  TClientUnderTest t(responder.PortText());
  t.Client.Query();
  ASSERT_TRUE(PumpUntil([&] { return responder.Requests() > 0; }));
  t.Client.HandleTimeout(nullptr);
  EXPECT_EQ(t.Events.Timeout, 1);
  EXPECT_EQ(t.Events.Senders.back(), &t.Client);
  EXPECT_EQ(t.AnyEvent(), 1);
}

TEST(ClientExchange, HandlerFailureBecomesReceiveError) {
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText());
  t.Client.OnDataAvailable = [](TComponent*, uint16_t) { throw std::runtime_error("handler"); };
  t.Client.Query();
  ASSERT_TRUE(PumpUntil([&] { return t.Events.ReceiveError > 0; }));
  EXPECT_EQ(t.Events.ReceiveError, 1);
  // The client is still usable afterwards.
  t.Client.OnDataAvailable = [&](TComponent* s, uint16_t) { t.Record(s, t.Events.DataAvailable); };
  t.Client.Query();
  EXPECT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == 1; }));
}

TEST(ClientExchange, TakenListenPortIsAWinsockErrorAndTheExchangeGoesOn) {
  SOCKET holder = test::BoundUdpSocket("0.0.0.0", 0);
  ASSERT_NE(holder, INVALID_SOCKET);
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText(), std::to_string(test::BoundPort(holder)));
  t.Client.Query();
  EXPECT_EQ(t.Events.WinsockErrors, std::vector<uint16_t>{10048}) << "reported inside Query";
  EXPECT_EQ(t.Events.Senders.front(), &t.Client);
  EXPECT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == 1; }));
  closesocket(holder);
}

TEST(ClientResolve, ServerTextsThatNameNoServer) {
  const bool network = test::HostHasNetworkAddress();
  struct Case { const char* what; std::string host; bool needsNoNetwork; };
  const Case cases[] = {
      {"empty", "", false},
      {"blanks", "   ", false},
      {"300 characters", std::string(300, 'a'), false},
      {"non-ASCII", "\xC3\xA9t\xC3\xA9\xFF.invalid", false},
      {"octet above 255", "256.1.1.1", false},
      {"three parts (a valid address to the name service)", "1.2.3", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsNoNetwork && network) continue;  // it would be sent to a real address
    TResponder responder(TAnswer::Reply, ServerReply(k2000));
    TClientUnderTest t(responder.PortText());
    t.Client.SetHostAddr(c.host);
    t.Client.Query();
    EXPECT_EQ(t.Events.ResolveError, 1) << "fired inside Query";
    EXPECT_EQ(t.AnyEvent(), 1);
    EXPECT_EQ(t.Client.ServerIP(), "0.0.0.0");
  }
}

TEST(ClientResolve, LoopbackGoesToThisHostsAddress) {
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText());
  t.Client.Query();
  ASSERT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == 1; }));
  if (test::HostHasNetworkAddress()) {
    EXPECT_EQ(t.Client.ServerIP(), t.Client.LocalIP());
  } else {
    EXPECT_EQ(t.Client.LocalIP(), "127.0.0.1");
    EXPECT_EQ(t.Client.ServerIP(), "0.0.0.0") << "with no network nothing is looked up";
  }
}

TEST(ClientRelease, QueryAfterReleaseCreatesTheSocketsAgain) {
  TResponder responder(TAnswer::Reply, ServerReply(k2000));
  TClientUnderTest t(responder.PortText());
  t.Client.ReleaseResources();  // nothing to release yet
  t.Client.Query();
  ASSERT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == 1; }));
  t.Client.ReleaseResources();
  t.Client.Query();
  EXPECT_TRUE(PumpUntil([&] { return t.Events.DataAvailable == 2; }));
}

}  // namespace
}  // namespace sntp
