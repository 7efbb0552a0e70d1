// The socket object on loopback UDP as the client uses it: opening on a
// port another socket holds, the broadcast option, the send queue and its
// failures, and a socket closed and opened anew.
#include "tests/sntp/socket/win32/socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

struct TUdpPair : ::testing::Test {
  TEventLog Log;  // outlives the sockets, whose destruction still fires events
  TUdpResponder Server;
  TProbeSocket Client;

  void SetUp() override {
    Log.Watch(Client);
    ConnectTo(Client, Server.Port());
    ASSERT_EQ(Client.State(), wsConnected);
    PumpPosted();  // the first FD_WRITE of the new socket
    Log.Entries.clear();
  }
};

// As the client's listener finds local port 123 when another program holds
// it: reported, and the same socket object listens again later.
TEST(UdpOpen, PortTakenIsReportedAndListenStartsAfresh) {
  TWSocket holder, second;
  ListenUdp(holder);
  EXPECT_EQ(ErrorText([&] { ListenUdp(second, holder.BoundPort()); }),
            "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(second.State(), wsClosed);
  EXPECT_EQ(second.LastError(), 10048);
  EXPECT_EQ(second.GetSocketHandle(), INVALID_SOCKET);
  ListenUdp(second);
  EXPECT_EQ(second.State(), wsConnected);
}

TEST(UdpOpen, BroadcastOptionOnlyForTheBroadcastAddress) {
  for (const auto& [addr, expected] : {std::pair{"255.255.255.255", true}, std::pair{"127.0.0.1", false}}) {
    TWSocket socket;
    socket.SetAddr(addr);
    socket.SetPort("9");
    socket.SetProto("udp");
    socket.Connect();
    BOOL on = FALSE;
    int length = sizeof on;
    ASSERT_EQ(getsockopt(socket.GetSocketHandle(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), &length), 0);
    EXPECT_EQ(on != FALSE, expected) << addr;
  }
}

// Each Send is one datagram, queued or not: never merged with the next, nor
// split at the queue's chunk size.
TEST_F(TUdpPair, QueuedDatagramsGoOutWholeAndAloneOnWrite) {
  Client.FailWith = WSAEWOULDBLOCK;
  const std::vector<std::string> datagrams = {std::string(1000, 'a'), std::string(1000, 'b'),
                                              std::string(1800, 'c')};
  for (const std::string& datagram : datagrams) EXPECT_EQ(Client.SendStr(datagram), int(datagram.size()));
  Client.FailWith = 0;
  PostMessageA(Client.GetWindowHandle(), WM_SOCKET_EVENT, Client.GetSocketHandle(), FD_WRITE);
  ASSERT_TRUE(PumpUntil([&] { return Server.Received.size() >= datagrams.size(); }));
  EXPECT_EQ(Client.Sends, (std::vector<int>{1000, 1000, 1800}));
  EXPECT_TRUE(Server.Received == datagrams) << "each arrives as it was sent";
}

// A datagram that did not go out whole is reported and dropped: it is not
// sent again ahead of the next one, nor its rest as a datagram of its own.
TEST_F(TUdpPair, AFailedDatagramIsReportedAndNeverResent) {
  struct TCase { const char* What; int FailWith; int PartialLimit; std::vector<int> Sends; };
  const TCase cases[] = {
      {"refused by Winsock", WSAEMSGSIZE, 0, {5}},
      {"sent in part", 0, 3, {3, 5}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    Client.Sends.clear();
    Log.Entries.clear();
    Client.FailWith = c.FailWith;
    Client.PartialLimit = c.PartialLimit;
    Client.SendStr("datagram");
    EXPECT_EQ(Log.Entries, std::vector<std::string>{"error 10040"});
    Client.FailWith = Client.PartialLimit = 0;
    Client.SendStr("after");
    ASSERT_TRUE(PumpUntil([&] { return !Server.Received.empty() && Server.Received.back() == "after"; }));
    EXPECT_EQ(Client.Sends, c.Sends);
    PumpPosted();
  }
}

// A failed send is reported with its code. A lost connection (what Windows
// answers after an ICMP port unreachable) also closes the socket, and a send
// on a closed socket is refused.
TEST_F(TUdpPair, SendFailures) {
  Client.FailWith = WSAENOBUFS;
  Client.SendStr("x");
  EXPECT_EQ(Log.Entries, std::vector<std::string>{"error 10055"});
  Log.Entries.clear();
  Client.FailWith = WSAECONNRESET;
  Client.SendStr("x");
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"connected>closed", "closed 10054"}));
  EXPECT_EQ(Client.GetSocketHandle(), INVALID_SOCKET);
  Log.Entries.clear();
  EXPECT_EQ(Client.Send("x", 1), -1);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"closed>closed", "error 10057"}));
}

// The client's sockets serve exchange after exchange: a close is told once,
// and the socket opens anew towards another endpoint.
TEST_F(TUdpPair, AClosedSocketIsToldOnceAndOpensAnewElsewhere) {
  Client.Close();
  Client.Close();
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"connected>closed", "closed 0"}));
  TUdpResponder other;
  ConnectTo(Client, other.Port());
  Client.SendStr("again");
  ASSERT_TRUE(PumpUntil([&] { return !other.Received.empty(); }));
  EXPECT_TRUE(Server.Received.empty());
}

// A flood of datagrams never holds the thread that serves the socket: one
// notification reads a bounded number of them, and the next ones, which
// Winsock posts while datagrams remain, read the rest.
TEST(UdpReceive, ANotificationReadsABoundedNumberAndTheRestFollow) {
  TWSocket receiver, sender;
  ListenUdp(receiver);
  int reads = 0;
  receiver.OnDataAvailable = [&](TComponent*, uint16_t) {
    char datagram[64];
    sockaddr_in from{};
    int fromLength = sizeof from;
    if (receiver.ReceiveFrom(datagram, sizeof datagram, from, fromLength) >= 0) ++reads;
  };
  ConnectTo(sender, receiver.BoundPort());
  const int sent = 3 * kReadsPerNotification + 5;
  for (int i = 0; i < sent; ++i) sender.SendStr("tick");
  Sleep(200);  // all of them on the way over loopback
  // The receiver's first FD_READ, alone.
  MSG notification{};
  bool notified = false;
  for (int wait = 0; wait < 500 && !notified; ++wait) {
    if (!PeekMessageA(&notification, receiver.GetWindowHandle(), WM_SOCKET_EVENT, WM_SOCKET_EVENT, PM_REMOVE)) {
      Sleep(10);
      continue;
    }
    notified = (WSAGETSELECTEVENT(notification.lParam) & FD_READ) != 0;
    if (!notified) DispatchMessageA(&notification);
  }
  ASSERT_TRUE(notified);
  DispatchMessageA(&notification);
  EXPECT_EQ(reads, kReadsPerNotification);
  EXPECT_TRUE(PumpUntil([&] { return reads == sent; })) << reads << " of " << sent << " read";
}

}  // namespace
}  // namespace sntp
