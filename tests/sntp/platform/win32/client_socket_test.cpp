// The SNTP client on the library's own platform, against a responder in this
// process on loopback: the real sockets, name lookup and timer under the
// client, where the tests on a platform in memory cannot reach.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sntp/client/sntp_client.h"
#include "sntp/platform/win32/system_platform.h"
#include "tests/sntp/client/reply_builder.h"
#include "tests/sntp/socket/win32/socket_test_support.h"
#include "tests/sntp/win32/host_network.h"

namespace sntp {
namespace {

using test::PumpUntil;
using test::TUdpResponder;
using Calls = std::vector<std::string>;

// A time server on this host: a synchronised server's reply, sent in 2000,
// that carries the stamp of a 48-byte request, padded with zeros to Length.
TUdpResponder::TReply TimeServer(size_t length = kPacketSize) {
  return [length](const std::string& request) {
    uint64_t stamp = 0;
    for (size_t i = 0; request.size() == kPacketSize && i < 8; ++i)
      stamp = stamp << 8 | static_cast<uint8_t>(request[pTransmitTimestamp + i]);
    const TPacket reply = test::Answer(stamp).Packet;
    std::string datagram(reply.begin(), reply.end());
    datagram.resize(length);
    return datagram;
  };
}

// The client asking Server at the responder's port; ListenPort "0" lets the
// listening socket take any free port, so that most tests need no port 123.
struct TClientOnSockets {
  TSystemPlatform Platform;
  TServerHoldBack HoldBack{[] { return std::chrono::steady_clock::now(); }};
  TSNTP Client{Platform, HoldBack};
  Calls Events;
  const DWORD TestThread = GetCurrentThreadId();

  TClientOnSockets(TUdpResponder& responder, const std::string& server = "127.0.0.1",
                   const std::string& listenPort = "0") {
    Client.SetHostAddr(server);
    Client.SetHostPort(responder.Port());
    Client.SetListenPort(listenPort);
    Client.SetTimeout(4000);
    Client.OnDataAvailable = [this](TComponent*, uint16_t) { Events.push_back("data"); };
    Client.OnTimeout = [this](TComponent*) {
      Events.push_back(GetCurrentThreadId() == TestThread ? "timeout in this thread" : "timeout elsewhere");
    };
    Client.OnResolveError = [this](TComponent*) { Events.push_back("resolve"); };
    Client.OnWinsockError = [this](TComponent*, uint16_t e) { Events.push_back("winsock " + std::to_string(e)); };
    Client.OnListenUnavailable = [this](TComponent*, uint16_t e) { Events.push_back("no listener " + std::to_string(e)); };
  }
  bool QueryAndWaitForEvents(size_t count) {
    Client.Query();
    return PumpUntil([&] { return Events.size() >= count; });
  }
};

// The server stamps its reply only for a 48-byte request, and the reply is
// taken only when it carries the request's stamp back: the data event
// proves the request and both directions of the ports.
TEST(ClientOnSockets, AsksWithAStampedRequestAndTakesTheReply) {
  TUdpResponder responder(TimeServer());
  TClientOnSockets t(responder);
  ASSERT_TRUE(t.QueryAndWaitForEvents(1));
  EXPECT_EQ(t.Events, Calls{"data"});
}

TEST(ClientOnSockets, HoldsLocalPort123OnlyDuringTheExchange) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  TUdpResponder responder(TimeServer());
  TClientOnSockets t(responder, "127.0.0.1", "123");
  t.Client.Query();
  EXPECT_FALSE(test::CanBindUdpPort(123));
  ASSERT_TRUE(PumpUntil([&] { return !t.Events.empty(); }));
  EXPECT_TRUE(test::CanBindUdpPort(123));
}

// Another program holds the listening port, as Windows' time service holds
// 123: Winsock refuses the bind, and the reply comes to the sending socket.
TEST(ClientOnSockets, ListeningPortHeldByAnotherProgramStillGetsTheReply) {
  const test::TUdpPortHolder holder;
  ASSERT_TRUE(holder.Held());
  TUdpResponder responder(TimeServer());
  TClientOnSockets t(responder, "127.0.0.1", std::to_string(holder.Port()));
  ASSERT_TRUE(t.QueryAndWaitForEvents(2));
  EXPECT_EQ(t.Events, (Calls{"no listener 10048", "data"}));
}

// Winsock reads a datagram too long for the 48-byte buffer as a failure and
// drops it; the exchange waits on, and its timer, on the system clock, ends
// it in the sockets' thread.
TEST(ClientOnSockets, TooLongADatagramIsIgnoredUntilTheTimerEndsTheExchange) {
  TUdpResponder responder(TimeServer(68));
  TClientOnSockets t(responder);
  t.Client.SetTimeout(300);
  ASSERT_TRUE(t.QueryAndWaitForEvents(1));
  EXPECT_EQ(responder.Received.size(), 1u);
  EXPECT_EQ(t.Events, Calls{"timeout in this thread"});
  EXPECT_FALSE(t.Client.Received());
}

}  // namespace
}  // namespace sntp
