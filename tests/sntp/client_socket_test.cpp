// The SNTP client on the library's own platform, against a responder in this
// process on loopback: the real sockets, name lookup and timer under the
// client, where the tests on a platform in memory cannot reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "host_network.h"
#include "reply_builder.h"
#include "socket/message_pump.h"
#include "sntp/sntp_client.h"
#include "sntp/socket/wsocket.h"
#include "sntp/system_platform.h"

namespace sntp {
namespace {

using test::PumpUntil;
using Calls = std::vector<std::string>;

// A time server on this host, on a socket of its own that the test's message
// pump serves: it answers each request on its own UDP port, on every local
// address, back to the request's source, with a synchronised server's reply
// sent at 2000-01-01 00:00:00 UTC that carries the request's stamp, padded
// with zeros to ReplyLength.
class TResponder {
 public:
  explicit TResponder(int replyLength = static_cast<int>(kPacketSize)) : replyLength_(replyLength) {
    socket_.OnDataAvailable = [this](TComponent*, uint16_t) { Answer(); };
    socket_.SetAddr("0.0.0.0");
    socket_.SetPort("0");
    socket_.SetProto("udp");
    socket_.Listen();
  }
  std::string PortText() { return socket_.BoundPort(); }

  int Requests = 0;

 private:
  void Answer() {
    uint8_t request[512];
    sockaddr_in client{};
    int clientLength = sizeof client;
    const int length = socket_.ReceiveFrom(request, sizeof request, client, clientLength);
    if (length < 0) return;
    ++Requests;
    std::vector<uint8_t> reply(std::max(replyLength_, static_cast<int>(kPacketSize)));
    std::copy_n(test::ReplyBuilder::Good().Packet.begin(), kPacketSize, reply.begin());
    if (length == static_cast<int>(kPacketSize))
      std::copy_n(&request[pTransmitTimestamp], 8, &reply[pOriginateTimestamp]);
    socket_.SendTo(client, clientLength, reply.data(), replyLength_);
  }

  const int replyLength_;
  TWSocket socket_;
};

// The client asking Server at the responder's port; ListenPort "0" lets the
// listening socket take any free port, so that most tests need no port 123.
struct TClientOnSockets {
  TSystemPlatform Platform;
  TServerHoldBack HoldBack{[] { return std::chrono::steady_clock::now(); }};
  TSNTP Client{Platform, HoldBack};
  Calls Events;
  const DWORD TestThread = GetCurrentThreadId();

  TClientOnSockets(TResponder& responder, const std::string& server = "127.0.0.1",
                   const std::string& listenPort = "0") {
    Client.SetHostAddr(server);
    Client.SetHostPort(responder.PortText());
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

// The responder stamps its reply only for a 48-byte request, and the reply
// is taken only when it carries the request's stamp back: the data event
// proves the request and both directions of the ports.
TEST(ClientOnSockets, AsksWithAStampedRequestAndTakesTheReply) {
  TResponder responder;
  TClientOnSockets t(responder);
  ASSERT_TRUE(t.QueryAndWaitForEvents(1));
  EXPECT_EQ(t.Events, Calls{"data"});
}

TEST(ClientOnSockets, HoldsLocalPort123OnlyDuringTheExchange) {
  if (!test::CanBindUdpPort(123)) GTEST_SKIP() << "local UDP port 123 cannot be bound here";
  TResponder responder;
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
  TResponder responder;
  TClientOnSockets t(responder, "127.0.0.1", std::to_string(holder.Port()));
  ASSERT_TRUE(t.QueryAndWaitForEvents(2));
  EXPECT_EQ(t.Events, (Calls{"no listener 10048", "data"}));
}

// Winsock reads a datagram too long for the 48-byte buffer as a failure and
// drops it; the exchange waits on, and its timer, on the system clock, ends
// it in the sockets' thread.
TEST(ClientOnSockets, TooLongADatagramIsIgnoredUntilTheTimerEndsTheExchange) {
  TResponder responder(68);
  TClientOnSockets t(responder);
  t.Client.SetTimeout(300);
  ASSERT_TRUE(t.QueryAndWaitForEvents(1));
  EXPECT_EQ(responder.Requests, 1);
  EXPECT_EQ(t.Events, Calls{"timeout in this thread"});
  EXPECT_FALSE(t.Client.Received());
}

}  // namespace
}  // namespace sntp
