// The SNTP client on a platform in memory: where it listens and what it
// sends, which datagrams it takes as the reply, the round trip and the time
// it works out, the events it fires, how it obeys a kiss-o'-death, how it
// asks the addresses of a name in turn, and how the name lookup and the
// timer bound an exchange.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "sntp/client/sntp_client.h"
#include "tests/sntp/client/fake_platform.h"
#include "tests/sntp/client/reply_builder.h"

namespace sntp {
namespace {

using test::Answer;
using test::k2000;
using test::Kiss;
using test::TFakePlatform;
using test::TFakePort;
using test::TReplyBuilder;
using Calls = std::vector<std::string>;

constexpr double kOneMillisecond = 1.0 / 86400000.0;

// The client asking Server, on a host whose address is 10.0.0.5, with a
// timeout of 4000 ms; every event is logged. The hold-back record runs on
// a clock the test moves.
struct TClientUnderTest {
  TFakePlatform Platform;
  std::chrono::steady_clock::time_point Monotonic{};
  TServerHoldBack HoldBack{[this] { return Monotonic; }};
  TSNTP Client{Platform, HoldBack};
  Calls Events;

  explicit TClientUnderTest(const std::string& server = "10.0.0.1") {
    Client.SetHostAddr(server);
    Client.SetTimeout(4000);
    Client.OnDataAvailable = [this](TComponent* s, uint16_t e) { Log(s, "data " + std::to_string(e)); };
    Client.OnTimeout = [this](TComponent* s) { Log(s, "timeout"); };
    Client.OnResolveError = [this](TComponent* s) { Log(s, "resolve"); };
    Client.OnReceiveError = [this](TComponent* s) { Log(s, "receive"); };
    Client.OnWinsockError = [this](TComponent* s, uint16_t e) { Log(s, "winsock " + std::to_string(e)); };
    Client.OnHeldBack = [this](TComponent* s, const std::string& reason) { Log(s, "held back: " + reason); };
    Client.OnListenUnavailable = [this](TComponent* s, uint16_t e) { Log(s, "no listener " + std::to_string(e)); };
  }
  void Log(TComponent* sender, const std::string& event) {
    EXPECT_EQ(sender, &Client);
    Events.push_back(event);
  }
  TFakePort& SendSocket() { return *Platform.Ports.at(0); }
  TFakePort& ListenSocket() { return *Platform.Ports.at(1); }
  // The socket that asked Address (dotted); SendSocket asks the first one.
  TFakePort& SocketOf(const std::string& address) {
    for (TFakePort* port : Platform.Ports) {
      if (std::count(port->Calls.begin(), port->Calls.end(), "connect " + address + ":123") > 0) return *port;
    }
    ADD_FAILURE() << address << " was never asked";
    return SendSocket();
  }
  // The addresses asked in this client's life, in order, once per request.
  Calls Asked() const {
    Calls asked;
    for (TFakePort* port : Platform.Ports) {
      for (const std::string& call : port->Calls) {
        if (call.rfind("connect ", 0) == 0) asked.push_back(call.substr(8, call.find(':') - 8));
      }
    }
    return asked;
  }
  // Delivers Datagram from Source on SendSocket when the counter reads
  // Milliseconds (a query sent at once reads 1000).
  void Receive(const std::vector<uint8_t>& datagram, const std::string& source, double milliseconds) {
    Platform.Counter = std::llround(milliseconds * 1000);
    SendSocket().Deliver(datagram, source);
  }
  void Receive(const TReplyBuilder& reply, const std::string& source, double milliseconds) {
    Receive(reply.Datagram(), source, milliseconds);
  }
  // A query whose server's name is found to have Addresses.
  void QueryName(const std::vector<std::string>& addresses) {
    Client.Query();
    SendSocket().FinishLookup(0, addresses);
  }
};

TEST(ClientExchange, ListensSendsAStampedRequestAndTakesTheReply) {
  TClientUnderTest t;
  t.Platform.Stamps = {0, 0};  // a source that gives 0: a request never goes out unstamped
  // Twice: the second query reuses the closed ports.
  for (int query = 1; query <= 2; ++query) {
    SCOPED_TRACE(query);
    t.Platform.Counter = 1000000;
    t.Client.Query();
    EXPECT_EQ(t.ListenSocket().Calls.back(), "listen 123");
    EXPECT_EQ(t.SendSocket().Calls.back(), "send");
    EXPECT_EQ(t.SendSocket().Calls.end()[-2], "connect 10.0.0.1:123");
    EXPECT_EQ(t.SendSocket().Sent.back(), TReplyBuilder{BuildRequest(1)}.Datagram());
    t.Receive(Answer(1), "10.0.0.1", 1100);
    EXPECT_EQ(t.Events, Calls(query, "data 0"));
    EXPECT_FALSE(t.SendSocket().IsOpen() || t.ListenSocket().IsOpen());
    EXPECT_FALSE(t.Platform.Timer->Enabled);
  }
  EXPECT_EQ(t.Platform.PortsMade, 2);
  EXPECT_EQ(t.Client.RoundTrip(), 100);
  EXPECT_EQ(t.Client.Reply().TransmitTimestamp, 36526.0);
  EXPECT_NEAR(t.Client.Reply().ServerTime, 36526.0 + 50 * kOneMillisecond, 1e-11) << "T3 + 100 ms / 2";
  EXPECT_EQ(t.Client.RawReply(), Answer(1).Packet);
}

// Each datagram arrives first, then the server's good reply, a minute later.
// The cases cover what the client hands to the reply checks (length, source,
// round trip, its stamp) and what it does with each verdict; the checks' own
// rules are tested in codec_test.cpp. Only a kiss-o'-death that answers the
// request and asks something is obeyed (ClientKissOfDeath).
TEST(ClientExchange, TakesOnlyTheTimelyReplyToItsRequest) {
  enum TOutcome { taken, late, ignored };
  struct TCase { const char* What; std::vector<uint8_t> Datagram; std::string Source; double Ms; TOutcome Outcome; };
  std::vector<uint8_t> shorter = Answer().Datagram();
  shorter.resize(47);
  const TCase cases[] = {
      {"the reply from the server", Answer().Datagram(), "10.0.0.1", 1100, taken},
      {"round trip equal to Timeout", Answer().Datagram(), "10.0.0.1", 5000, taken},
      {"round trip under 1 ms over Timeout", Answer().Datagram(), "10.0.0.1", 5000.999, taken},
      {"round trip 1 ms over Timeout", Answer().Datagram(), "10.0.0.1", 5001, late},
      {"47 bytes", shorter, "10.0.0.1", 1100, ignored},
      {"from another address", Answer().Datagram(), "10.0.0.9", 1100, ignored},
      {"an hour off, for another request", Answer(7).SentAt(k2000 + 3600).Datagram(), "10.0.0.1", 1100, ignored},
      {"a kiss-o'-death for another request", Kiss("RATE", 7).Datagram(), "10.0.0.1", 1100, ignored},
      {"a kiss-o'-death from another address", Kiss("DENY").Datagram(), "10.0.0.9", 1100, ignored},
      {"a kiss-o'-death that asks nothing", Kiss("INIT").Datagram(), "10.0.0.1", 1100, ignored},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t;
    t.Client.Query();
    t.Receive(c.Datagram, c.Source, c.Ms);
    const bool goesOn = c.Outcome == ignored;
    // A late reply ends its address's attempt, and with no other address to
    // ask, the exchange at once.
    EXPECT_EQ(t.Events, c.Outcome == taken ? Calls{"data 0"} : c.Outcome == late ? Calls{"timeout"} : Calls{});
    EXPECT_EQ(t.Client.Received(), c.Outcome == taken);
    EXPECT_EQ(t.SendSocket().IsOpen() && t.Platform.Timer->Enabled, goesOn);
    t.Receive(Answer().SentAt(k2000 + 60), "10.0.0.1", 1200);
    t.Client.HandleTimeout(nullptr);  // the caller's deadline finds nothing left to end
    EXPECT_EQ(t.Events, c.Outcome == late ? Calls{"timeout"} : Calls{"data 0"});
    if (goesOn) {
      EXPECT_EQ(t.Client.Reply().TransmitTimestamp, 36526.0 + 60.0 / 86400) << "the good reply's time";
    }
  }
}

TEST(ClientExchange, TimerEndsAnUnansweredExchangeOnce) {
  TClientUnderTest t;
  t.Client.Query();
  EXPECT_TRUE(t.Platform.Timer->Enabled);
  EXPECT_EQ(t.Platform.Timer->IntervalMs, 4000) << "one address: nothing is due before the end";
  t.Platform.RunTimerUntil(4999);
  EXPECT_EQ(t.Events, Calls{}) << "a tick before the time-out only sets the timer again";
  EXPECT_EQ(t.Platform.Timer->IntervalMs, 1);
  t.Platform.RunTimerUntil(5000);
  EXPECT_EQ(t.Events, Calls{"timeout"});
  EXPECT_FALSE(t.Platform.Timer->Enabled);
  EXPECT_FALSE(t.SendSocket().IsOpen() || t.ListenSocket().IsOpen());
  t.Platform.FireTimer();
  EXPECT_EQ(t.Events, Calls{"timeout"});
}

// The listener is only a second way in: where its port is held or refused
// the reply still comes to SendSocket's own port, so the query goes on, and
// the listener's later failures are not told again. A failure of SendSocket
// is the caller's to report.
TEST(ClientExchange, WithoutItsListenerTheExchangeGoesOnOverSendSocket) {
  struct TCase { const char* What; bool ListenerFails; uint16_t SendSocketError; Calls Events; };
  const TCase cases[] = {
      {"listening port held", true, 0, {"no listener 10048", "data 0"}},
      {"sending port fails", false, 10049, {"winsock 10049"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t;
    t.Client.Query();  // makes the ports
    t.Client.HandleTimeout(nullptr);
    if (c.ListenerFails) t.ListenSocket().OpenError = 10048;
    t.SendSocket().OpenError = c.SendSocketError;
    for (size_t query = 2; query <= 3; ++query) {  // told in each query
      t.Events.clear();
      t.Client.Query();
      EXPECT_EQ(t.SendSocket().Sent.size(), c.SendSocketError ? 1 : query) << "nothing sent from a failed socket";
      if (c.ListenerFails) t.ListenSocket().OnError(10054, "");
      t.Receive(Answer(), "10.0.0.1", 1100);
      EXPECT_EQ(t.Events, c.Events);
    }
  }
}

// The offset is the server's time minus the local time now: a correct clock
// one hour east of UTC gets -1/24. On a desktop the tick count and the local
// time move in steps of 15.6 ms, which would put it 8 to 23 ms off. The
// client reads the counter and the precise clock instead, and keeps their
// microseconds: here the request leaves just before such a step and the
// reply comes 20.847 ms later, between two others.
TEST(ClientTiming, OffsetIsRightBelowTheMillisecondWhereTheCoarseClocksStep) {
  const auto fraction = [](double seconds) { return static_cast<uint32_t>(seconds * 4294967296.0); };
  TClientUnderTest t;
  t.Platform.Counter = 7777015550;  // 00:00:00.015550 UTC
  t.Client.Query();
  // 10.2735 ms each way, and 0.3 ms in the server.
  const TReplyBuilder reply = Answer()
                                 .Timestamp(pReceiveTimestamp, k2000, fraction(0.0258235))
                                 .Timestamp(pTransmitTimestamp, k2000, fraction(0.0261235));
  t.Receive(reply, "10.0.0.1", 7777036.397);
  t.Platform.Now = {2000, 1, 1, 1, 0, 0, 36, 397};
  ASSERT_EQ(t.Events, Calls{"data 0"});
  EXPECT_EQ(t.Client.RoundTrip(), 20) << "whole milliseconds";
  EXPECT_NEAR((t.Client.OffsetFromLocalTime() + 1.0 / 24) * 86400000.0, 0.0, 0.01) << "ms off";
}

// A kiss that answers the request ends the exchange at once. The server is
// then not asked again, for a while (RATE) or at all; other servers are.
TEST(ClientKissOfDeath, EndsTheExchangeAndHoldsTheServerBack) {
  struct TCase { const char* Code; Calls Events; size_t SentAfterAnHour; };
  const TCase cases[] = {
      {"RATE",
       {"held back: 10.0.0.1 sent kiss-o'-death RATE: it is not asked again for 64 s", "timeout",
        "held back: Not asking 10.0.0.1 for another 64 s: it sent kiss-o'-death RATE", "timeout"},
       3},
      {"DENY",
       {"held back: 10.0.0.1 sent kiss-o'-death DENY: it is not asked again", "timeout",
        "held back: Not asking 10.0.0.1: it sent kiss-o'-death DENY", "timeout"},
       2},
      {"RSTR",
       {"held back: 10.0.0.1 sent kiss-o'-death RSTR: it is not asked again", "timeout",
        "held back: Not asking 10.0.0.1: it sent kiss-o'-death RSTR", "timeout"},
       2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Code);
    TClientUnderTest t;
    t.Client.Query();
    t.Receive(Kiss(c.Code), "10.0.0.1", 1100);
    EXPECT_FALSE(t.Platform.Timer->Enabled || t.SendSocket().IsOpen() || t.ListenSocket().IsOpen());
    t.Client.Query();
    EXPECT_EQ(t.Events, c.Events);
    EXPECT_EQ(t.SendSocket().Sent.size(), 1u) << "nothing sent to it";
    EXPECT_EQ(std::count(t.ListenSocket().Calls.begin(), t.ListenSocket().Calls.end(), "listen 123"), 1);
    EXPECT_FALSE(t.Platform.Timer->Enabled);
    t.Client.SetHostAddr("10.0.0.2");
    t.Client.Query();
    EXPECT_EQ(t.SendSocket().Sent.size(), 2u) << "another server is asked";
    t.Client.HandleTimeout(nullptr);
    t.Monotonic += std::chrono::hours(1);
    t.Client.SetHostAddr("10.0.0.1");
    t.Client.Query();
    EXPECT_EQ(t.SendSocket().Sent.size(), c.SentAfterAnHour);
  }
}

TEST(ClientKissOfDeath, AGoodReplyStartsTheRateWaitAfresh) {
  TClientUnderTest t;
  for (int round = 0; round < 2; ++round) {
    t.Client.Query();
    t.Receive(Kiss("RATE"), "10.0.0.1", 1100);
    t.Monotonic += std::chrono::seconds(64);
    t.Client.Query();
    t.Receive(Answer(), "10.0.0.1", 1100);
  }
  const std::string rate = "held back: 10.0.0.1 sent kiss-o'-death RATE: it is not asked again for 64 s";
  EXPECT_EQ(t.Events, (Calls{rate, "timeout", "data 0", rate, "timeout", "data 0"}));
}

// With a network, a name is looked up by SendSocket and completes later;
// every other text that names no server fails inside Query. Without one,
// only "127.0.0.1" is asked.
TEST(ClientResolve, ServerTextsThatNameNoServer) {
  struct TCase { const char* What; std::string Host; bool Network; Calls SendSocketCalls; };
  const TCase cases[] = {
      {"empty", "", true, {}},
      {"blanks", "   ", true, {}},
      {"300 characters", std::string(300, 'a'), true, {}},
      {"octet above 255", "256.1.1.1", true, {}},
      {"a name not found", "no-such-host.invalid", true, {"lookup no-such-host.invalid"}},
      {"a name, without a network", "pool.test", false, {}},
      {"an address, without a network", "10.0.0.1", false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t(c.Host);
    if (!c.Network) t.Platform.Addresses.clear();
    t.Client.Query();
    EXPECT_EQ(t.SendSocket().Calls, c.SendSocketCalls);
    if (t.SendSocket().LookupPending()) {
      EXPECT_EQ(t.Events, Calls{});
      t.SendSocket().FinishLookup(11001);
    }
    EXPECT_EQ(t.Events, Calls{"resolve"});
    EXPECT_EQ(t.Client.ServerIP(), "0.0.0.0");
    EXPECT_EQ(t.ListenSocket().Calls, Calls{});
    EXPECT_FALSE(t.Platform.Timer->Enabled);
  }
}

TEST(ClientResolve, ANameIsLookedUpInsideTheExchangesTime) {
  TClientUnderTest t(" pool.test ");
  t.Client.Query();
  EXPECT_EQ(t.SendSocket().Calls, Calls{"lookup pool.test"});
  EXPECT_TRUE(t.Platform.Timer->Enabled) << "the time-out bounds the lookup too";
  t.SendSocket().FinishLookup(0, {"10.0.0.7"});
  EXPECT_EQ(t.SendSocket().Calls, (Calls{"lookup pool.test", "connect 10.0.0.7:123", "send"}));
  t.Receive(Answer(), "10.0.0.7", 1100);
  EXPECT_EQ(t.Events, Calls{"data 0"});

  // Unanswered: the time-out cancels the lookup and tells a resolve error.
  t.Client.Query();
  t.Platform.RunTimerUntil(1100 + 4000);
  EXPECT_EQ(t.SendSocket().Calls.back(), "cancel");
  EXPECT_EQ(t.Events, (Calls{"data 0", "resolve"}));
  EXPECT_FALSE(t.SendSocket().LookupPending());

  // A lookup that cannot start: its port reports, and nothing waits.
  t.SendSocket().LookupError = 10022;
  t.Client.Query();
  EXPECT_EQ(t.Events, (Calls{"data 0", "resolve", "winsock 10022"}));
  EXPECT_FALSE(t.Platform.Timer->Enabled);
}

TEST(ClientResolve, LoopbackGoesToThisHostsNetworkAddress) {
  struct TCase { const char* What; std::vector<std::string> Addresses; std::string Connect, ServerIp; };
  const TCase cases[] = {
      {"with a network", {"10.0.0.5", "192.168.1.5"}, "connect 10.0.0.5:123", "10.0.0.5"},
      {"without one", {}, "connect 127.0.0.1:123", "0.0.0.0"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t("127.0.0.1");
    t.Platform.Addresses = c.Addresses;
    t.Client.Query();
    EXPECT_EQ(t.SendSocket().Calls.end()[-2], c.Connect);
    EXPECT_EQ(t.Client.ServerIP(), c.ServerIp);
    t.Receive(Answer(), "127.0.0.1", 1100);
    EXPECT_EQ(t.Events, Calls{"data 0"});
  }
}

// A query that resolves no server keeps nothing of the previous one's: a
// datagram from that server is no reply to it.
TEST(ClientResolve, ServerAddressIsThisQuerysOnly) {
  TClientUnderTest t;
  t.Client.Query();
  EXPECT_EQ(t.Client.ServerAddress(), test::DottedToAddress("10.0.0.1"));
  t.Receive(Answer(), "10.0.0.1", 1100);
  t.Client.SetHostAddr("256.1.1.1");
  t.Client.Query();
  EXPECT_EQ(t.Client.ServerAddress(), 0u);
  // Without a network "127.0.0.1" is asked as it stands, resolving nothing.
  t.Platform.Addresses.clear();
  t.Client.SetHostAddr("127.0.0.1");
  t.Client.Query();
  EXPECT_EQ(t.Client.ServerAddress(), 0u);
  t.Receive(Answer(), "10.0.0.1", 1100);
  EXPECT_EQ(t.Events, (Calls{"data 0", "resolve"})) << "the earlier server's datagram is ignored";
  t.Receive(Answer(), "127.0.0.1", 1200);
  EXPECT_EQ(t.Events, (Calls{"data 0", "resolve", "data 0"}));
}

TEST(ClientTimer, WithoutATimerTheExchangeStillWorks) {
  TClientUnderTest t;
  t.Platform.RefuseTimer = true;
  t.Client.Query();
  t.Receive(Answer(), "10.0.0.1", 1100);
  EXPECT_EQ(t.Events, Calls{"data 0"});
  t.Client.Query();
  t.Client.HandleTimeout(nullptr);
  EXPECT_EQ(t.Events, (Calls{"data 0", "timeout"})) << "the caller's deadline ends it";
  t.Platform.RefuseTimer = false;
  t.Client.Query();
  EXPECT_NE(t.Platform.Timer, nullptr) << "the next Query makes it";
}

// A name's distinct addresses, at most four in the resolver's order, are
// asked in turn: the first at once, each next one a step later while none
// has answered; each is asked once, from a socket of its own, and the
// time-out bounds all of it.
TEST(ClientAddresses, EachDistinctAddressIsAskedOnceInTurn) {
  TClientUnderTest t("pool.test");
  t.QueryName({"10.0.0.1", "10.0.0.2", "10.0.0.1", "10.0.0.3", "10.0.0.4", "10.0.0.6"});
  EXPECT_EQ(t.Asked(), Calls{"10.0.0.1"}) << "the first at once";
  EXPECT_EQ(t.Platform.Timer->IntervalMs, TSNTPClient::kAddressStepMs);
  t.Platform.RunTimerUntil(1999);
  EXPECT_EQ(t.Asked(), Calls{"10.0.0.1"}) << "not before its step";
  for (double ms : {2000.0, 3000.0, 4000.0, 4999.0}) t.Platform.RunTimerUntil(ms);
  EXPECT_EQ(t.Asked(), (Calls{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
  for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
    EXPECT_EQ(t.SocketOf(address).Sent.size(), 1u) << address;
  }
  EXPECT_EQ(t.Events, Calls{});
  t.Platform.RunTimerUntil(5000);
  EXPECT_EQ(t.Events, Calls{"timeout"}) << "4000 ms after the query began";
  EXPECT_FALSE(std::any_of(t.Platform.Ports.begin(), t.Platform.Ports.end(),
                           [](const TFakePort* port) { return port->IsOpen(); }));
}

// However fast the addresses fail, no more than four of a name are asked.
TEST(ClientAddresses, AtMostFourAddressesAreAsked) {
  TClientUnderTest t("pool.test");
  t.QueryName({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.6"});
  for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
    t.SocketOf(address).DeliverPortUnreachable();
  }
  EXPECT_EQ(t.Asked(), (Calls{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
  EXPECT_EQ(t.Events, Calls{"winsock 10054"});
}

// The first good reply ends the exchange, from whichever address asked and
// on whichever socket; the round trip is its own request's. A reply that an
// address sends after is no one's.
TEST(ClientAddresses, TheFirstGoodReplyOfAnyAddressIsTaken) {
  struct TCase { const char* What; bool OnListenSocket; };
  for (const TCase& c : {TCase{"on its own socket", false}, TCase{"on ListenSocket", true}}) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t("pool.test");
    t.QueryName({"10.0.0.1", "10.0.0.2"});
    t.Platform.RunTimerUntil(2000);
    t.Platform.Counter = 2120000;
    (c.OnListenSocket ? t.ListenSocket() : t.SocketOf("10.0.0.2")).Deliver(Answer().Datagram(), "10.0.0.2");
    EXPECT_EQ(t.Events, Calls{"data 0"});
    EXPECT_EQ(t.Client.RoundTrip(), 120);
    EXPECT_EQ(t.Client.ServerIP(), "10.0.0.2") << "the address that answered";
    t.Receive(Answer(), "10.0.0.1", 2200);
    EXPECT_EQ(t.Events, Calls{"data 0"});
  }
}

// An address known to have nothing to give passes the turn on at once: a
// closed port (Windows reports it on the next read), a socket that fails,
// a kiss-o'-death (held back from then on). It never reaches the result as
// another address's failure or as success.
TEST(ClientAddresses, AnAddressKnownDeadPassesTheTurnAtOnce) {
  struct TCase { const char* What; std::function<void(TClientUnderTest&)> Kill; Calls Events; };
  const TCase cases[] = {
      {"port closed", [](TClientUnderTest& t) { t.SendSocket().DeliverPortUnreachable(); }, {"data 0"}},
      {"socket failure", [](TClientUnderTest& t) { t.SendSocket().OnError(10065, "Error 10065 in function Send"); }, {"data 0"}},
      {"kiss-o'-death",
       [](TClientUnderTest& t) { t.Receive(Kiss("DENY"), "10.0.0.1", 1100); },
       {"held back: 10.0.0.1 sent kiss-o'-death DENY: it is not asked again", "data 0"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t("pool.test");
    t.QueryName({"10.0.0.1", "10.0.0.2"});
    c.Kill(t);
    EXPECT_EQ(t.Asked(), (Calls{"10.0.0.1", "10.0.0.2"})) << "the second asked at once";
    EXPECT_EQ(t.Events.size(), c.Events.size() - 1) << "nothing ends yet";
    t.Platform.Counter += 30000;
    t.SocketOf("10.0.0.2").Deliver(Answer().Datagram(), "10.0.0.2");
    EXPECT_EQ(t.Events, c.Events);
    EXPECT_EQ(t.Client.RoundTrip(), 30);
  }
}

// With nothing left to ask and nothing awaited, the exchange ends at once:
// a Winsock error when every address failed with one, else a time-out.
TEST(ClientAddresses, WhenNoAddressIsLeftTheExchangeEndsAtOnce) {
  using TStep = std::function<void(TClientUnderTest&)>;
  struct TCase { const char* What; std::vector<std::string> Addresses; TStep Before, After; Calls Events; };
  const TStep nothing = [](TClientUnderTest&) {};
  const TCase cases[] = {
      {"its one port closed", {"10.0.0.1"}, nothing,
       [](TClientUnderTest& t) { t.SendSocket().DeliverPortUnreachable(); }, {"winsock 10054"}},
      {"every socket failing at once", {"10.0.0.1", "10.0.0.2"},
       [](TClientUnderTest& t) { t.Platform.ConnectError = 10049; }, nothing, {"winsock 10049"}},
      {"a closed port, then a kiss", {"10.0.0.1", "10.0.0.2"}, nothing,
       [](TClientUnderTest& t) {
         t.SendSocket().DeliverPortUnreachable();
         t.SocketOf("10.0.0.2").Deliver(Kiss("RSTR").Datagram(), "10.0.0.2");
       },
       {"held back: 10.0.0.2 sent kiss-o'-death RSTR: it is not asked again", "timeout"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TClientUnderTest t("pool.test");
    t.Client.Query();
    c.Before(t);
    t.SendSocket().FinishLookup(0, c.Addresses);
    c.After(t);
    EXPECT_EQ(t.Events, c.Events);
    EXPECT_FALSE(t.Platform.Timer->Enabled);
  }
}

// Addresses held back after a kiss-o'-death are skipped without a request;
// with all of them held back nothing is sent, and the exchange ends at once.
TEST(ClientAddresses, HeldBackAddressesAreSkipped) {
  TClientUnderTest t("pool.test");
  t.QueryName({"10.0.0.1", "10.0.0.2"});
  t.Receive(Kiss("RATE"), "10.0.0.1", 1100);
  t.SocketOf("10.0.0.2").Deliver(Answer().Datagram(), "10.0.0.2");
  t.QueryName({"10.0.0.1", "10.0.0.2"});
  EXPECT_EQ(t.Asked(), (Calls{"10.0.0.1", "10.0.0.2", "10.0.0.2"})) << "10.0.0.1 skipped, 10.0.0.2 asked at once";
  t.SocketOf("10.0.0.2").Deliver(Answer().Datagram(), "10.0.0.2");
  t.Receive(Kiss("DENY"), "10.0.0.2", 1100);  // no request of this client awaits it
  const std::string rate = "held back: 10.0.0.1 sent kiss-o'-death RATE: it is not asked again for 64 s";
  const std::string skipped = "held back: Not asking 10.0.0.1 for another 64 s: it sent kiss-o'-death RATE";
  EXPECT_EQ(t.Events, (Calls{rate, "data 0", skipped, "data 0"}));
  t.HoldBack.TakeKiss("10.0.0.2", kcDeny);
  t.QueryName({"10.0.0.1", "10.0.0.2"});
  EXPECT_EQ(t.Asked().size(), 3u) << "nothing sent";
  EXPECT_EQ(t.Events.back(), "timeout");
}

}  // namespace
}  // namespace sntp
