// The socket object on loopback UDP: opening, endpoints, the send queue,
// receiving, closing and the exact texts of its reports.
#include <cstring>

#include "socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::testing;

struct UdpPair : ::testing::Test {
  // The logs outlive the sockets, whose destruction still fires events.
  TEventLog log;
  std::vector<std::string> received;
  TWSocket server;
  TProbeSocket client;

  void Open() {
    ListenUdp(server);
    ASSERT_EQ(server.State(), wsConnected);
    server.OnDataAvailable = [this](TComponent*, uint16_t) {
      char buffer[2048];
      sockaddr_in from{};
      int fromLen = sizeof from;
      const int n = server.ReceiveFrom(buffer, sizeof buffer, from, fromLen);
      if (n >= 0) received.emplace_back(buffer, static_cast<size_t>(n));
    };
    log.Watch(client);
    ConnectTo(client, server.BoundPort());
    ASSERT_EQ(client.State(), wsConnected);
    PumpPosted();  // the first FD_WRITE of the new socket
    log.entries.clear();
  }
};

TEST(UdpOpen, ListenAndConnectWalkThroughTheirStates) {
  TEventLog serverLog, clientLog;
  TWSocket server, client;
  serverLog.Watch(server);
  clientLog.Watch(client);
  ListenUdp(server);
  EXPECT_EQ(serverLog.entries, (std::vector<std::string>{"closed>bound", "bound>listening", "listening>connected",
                                                         "connected 0"}));
  ConnectTo(client, server.BoundPort());
  EXPECT_EQ(clientLog.entries, (std::vector<std::string>{"closed>opened", "opened>connected", "connected 0"}));
  // LocalPort "0" bound an ephemeral port, which LocalPort now names.
  EXPECT_NE(client.LocalPort(), "0");
  EXPECT_EQ(client.LocalPort(), client.BoundPort());
}

TEST(UdpOpen, PortTakenIsReportedAndListenStartsAfresh) {
  TWSocket holder, second;
  ListenUdp(holder);
  second.SetAddr("127.0.0.1");
  second.SetProto("udp");
  second.SetPort(holder.BoundPort());
  EXPECT_EQ(ErrorText([&] { second.Listen(); }), "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(second.State(), wsClosed);
  EXPECT_EQ(second.LastError(), 10048);
  EXPECT_EQ(second.GetSocketHandle(), INVALID_SOCKET);
  second.SetPort("0");
  second.Listen();
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

TEST(UdpOpen, ReportsBeforeAnySocketIsMade) {
  TWSocket socket;
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { socket.Connect(); }, "Connect: No Port Specified"},
      {[&] { socket.SetPort("5"); socket.SetAddr(" \t "); socket.Connect(); }, "Connect: No IP Address Specified"},
      {[&] { socket.SetAddr("1abc"); socket.SetProto("udp"); socket.Connect(); },
       "connect: WSocketResolveHost: '1abc' Invalid IP address."},
      {[&] { socket.SetProto("nosuchproto"); socket.Listen(); },
       "listen: WSocketResolveProto: Cannot convert protocol 'nosuchproto'"},
      {[&] { TWSocket fresh; fresh.Listen(); }, "Error 10022 in function listen: port not assigned\r\nInvalid argument"},
      {[&] { socket.Accept(); }, "Error 10022 in function not a listening socket\r\nInvalid argument"},
      {[&] { socket.SetSendFlags(static_cast<TSocketSendFlags>(7)); }, "Invalid SendFlags"},
      {[&] { socket.SetSocksServer("proxy"); socket.Connect(); }, "Connect: proxy negotiation is not supported"},
  };
  for (const auto& [call, text] : cases) EXPECT_EQ(ErrorText(call), text);
  EXPECT_EQ(socket.State(), wsClosed);
  EXPECT_EQ(socket.GetSocketHandle(), INVALID_SOCKET);
}

TEST_F(UdpPair, EndpointSettersWhileOpen) {
  const struct {
    void (TCustomWSocket::*set)(const std::string&);
    const std::string& (TCustomWSocket::*get)() const;
    const char* text;
  } cases[] = {
      {&TCustomWSocket::SetAddr, &TCustomWSocket::Addr, "Cannot change Addr if not closed"},
      {&TCustomWSocket::SetPort, &TCustomWSocket::Port, "Cannot change Port if not closed"},
      {&TCustomWSocket::SetProto, &TCustomWSocket::Proto, "Cannot change Proto if not closed"},
      {&TCustomWSocket::SetLocalPort, &TCustomWSocket::LocalPort, "Cannot change LocalPort if not closed"},
  };
  Open();
  for (const auto& c : cases) {
    const std::string before = (client.*c.get)();
    EXPECT_EQ(ErrorText([&] { client.OnError = nullptr; (client.*c.set)("4"); }), c.text);
    EXPECT_EQ((client.*c.get)(), before);
    if (c.set != &TCustomWSocket::SetLocalPort) {
      EXPECT_EQ(ErrorText([&] { (client.*c.set)(before); }), "(no report)") << c.text;
    }
  }
  EXPECT_EQ(ErrorText([&] { client.SetLocalPort(client.LocalPort()); }), "Cannot change LocalPort if not closed");
  EXPECT_EQ(client.State(), wsConnected);
}

TEST_F(UdpPair, DatagramsGoBothWaysAndAreCounted) {
  Open();
  EXPECT_EQ(client.SendStr("hello"), 5);
  ASSERT_TRUE(PumpUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "hello");
  EXPECT_EQ(server.ReadCount(), 5);
  EXPECT_EQ(log.Count("sent 0"), 1u);

  // A buffer smaller than the datagram: -1 and Winsock's code.
  server.OnDataAvailable = nullptr;
  const std::string big(100, 'x');
  client.SendStr(big);
  ASSERT_TRUE(PumpUntil([&] { return server.RcvdCount() > 0; }));
  char small[10];
  sockaddr_in from{};
  int fromLen = sizeof from;
  EXPECT_EQ(server.ReceiveFrom(small, sizeof small, from, fromLen), -1);
  EXPECT_EQ(server.LastError(), WSAEMSGSIZE);
}

TEST_F(UdpPair, UnhandledDataIsDroppedAndASilentHandlerIsCalledAgain) {
  Open();
  auto handler = server.OnDataAvailable;
  server.OnDataAvailable = nullptr;
  for (const char* text : {"one", "two", "three"}) client.SendStr(text);
  ASSERT_TRUE(PumpUntil([&] { return server.RcvdCount() == 0; }));

  int calls = 0;
  server.OnDataAvailable = [&](TComponent* Sender, uint16_t Error) {
    if (++calls == 3) handler(Sender, Error);  // reads only on the third call
  };
  client.SendStr("four");
  ASSERT_TRUE(PumpUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<std::string>{"four"}) << "the earlier datagrams were dropped";
  EXPECT_GE(calls, 3);

  // A handler that raises ends the drain; the socket carries on.
  server.OnDataAvailable = [&](TComponent* Sender, uint16_t Error) {
    handler(Sender, Error);
    throw std::runtime_error("handler failure");
  };
  client.SendStr("five");
  ASSERT_TRUE(PumpUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(server.State(), wsConnected);
}

TEST_F(UdpPair, QueuedSendsAreChunkedAndGoOutOnWrite) {
  Open();
  client.failWith = WSAEWOULDBLOCK;
  const std::string first(1000, 'a'), second(1000, 'b');
  EXPECT_EQ(client.SendStr(first), 1000);
  EXPECT_EQ(client.SendStr(second), 1000);
  ASSERT_EQ(client.SendQueue.ChunkCount(), 2u);
  EXPECT_EQ(client.SendQueue.At(0).Filled(), 1514);
  EXPECT_EQ(client.SendQueue.At(1).Filled(), 486);

  client.failWith = 0;
  PostMessageA(client.GetWindowHandle(), WM_SOCKET_EVENT, client.GetSocketHandle(), FD_WRITE);
  ASSERT_TRUE(PumpUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(received[0], first + second.substr(0, 514));
  EXPECT_EQ(received[1], second.substr(514));
  EXPECT_EQ(log.entries, std::vector<std::string>{"sent 0"});
}

TEST_F(UdpPair, PartialSendsResumeOnWrite) {
  Open();
  client.partialLimit = 600;
  client.SendStr(std::string(1500, 'z'));
  EXPECT_EQ(client.sends, std::vector<int>{600});
  EXPECT_FALSE(client.AllSent);
  client.partialLimit = 0;
  PostMessageA(client.GetWindowHandle(), WM_SOCKET_EVENT, client.GetSocketHandle(), FD_WRITE);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("sent 0") == 1; }));
  EXPECT_EQ(client.sends, (std::vector<int>{600, 900}));
}

TEST_F(UdpPair, ZeroLengthSendsAndDataSent) {
  Open();
  EXPECT_EQ(client.Send("", 0), 0);  // no chunk yet: nothing to report as sent
  PumpPosted();
  EXPECT_EQ(log.Count("sent 0"), 0u);
  client.SendStr("x");
  PumpPosted();
  EXPECT_EQ(client.Send("", 0), 0);  // the emptied chunk counts as all sent
  PumpPosted();
  EXPECT_EQ(log.Count("sent 0"), 2u);
}

TEST_F(UdpPair, SendFailures) {
  Open();
  client.failWith = WSAENOBUFS;
  client.SendStr("x");
  EXPECT_EQ(log.entries, std::vector<std::string>{"error 10055"});
  client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { client.SendStr("x"); }),
            "Error 10055 in function TryToSend failed\r\nNo buffer space available");

  // A lost connection closes the socket and tells it once, with the code.
  log.Watch(client);
  log.entries.clear();
  client.failWith = WSAECONNRESET;
  client.SendStr("x");
  EXPECT_EQ(log.entries, (std::vector<std::string>{"connected>closed", "closed 10054"}));
  EXPECT_EQ(client.GetSocketHandle(), INVALID_SOCKET);

  log.entries.clear();
  EXPECT_EQ(client.Send("x", 1), -1);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"closed>closed", "error 10057"}));
  client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { client.Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");
}

TEST_F(UdpPair, CloseRules) {
  Open();
  client.Close();
  EXPECT_EQ(log.entries, (std::vector<std::string>{"connected>closed", "closed 0"}));
  log.entries.clear();
  client.Close();
  EXPECT_TRUE(log.entries.empty()) << "closing a closed socket fires nothing";
  // The defaults are back: Addr and Port still read, but count as unset.
  EXPECT_EQ(client.Proto(), "tcp");
  EXPECT_EQ(client.Addr(), "127.0.0.1");
  EXPECT_EQ(client.LocalPort(), "0");
  client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { client.Connect(); }), "Connect: No Port Specified");
}

TEST_F(UdpPair, PeerAddressOfADatagramSocketIsNotConnected) {
  Open();
  EXPECT_EQ(client.PeerAddr(), "error");
  EXPECT_EQ(log.entries, (std::vector<std::string>{"connected>closed", "error 10057"}));
  EXPECT_EQ(client.GetSocketHandle(), INVALID_SOCKET);
}

TEST(UdpLifetime, OnlyASocketDestroyedByItselfTellsItsClose) {
  TEventLog log;
  TWSocket server;
  ListenUdp(server);
  {
    TWSocket alone;
    log.Watch(alone);
    ConnectTo(alone, server.BoundPort());
  }
  EXPECT_EQ(log.Count("closed 0"), 1u);
  log.entries.clear();
  {
    TComponent owner;
    auto* owned = new TWSocket(&owner);
    log.Watch(*owned);
    ConnectTo(*owned, server.BoundPort());
  }
  EXPECT_EQ(log.Count("closed 0"), 0u);
}

TEST_F(UdpPair, BlockingWaitPumpsUntilTheFlagOrTheTimeOut) {
  Open();
  bool arrived = false;
  server.OnDataAvailable = [&](TComponent*, uint16_t) {
    char buffer[16];
    arrived = server.Receive(buffer, sizeof buffer) > 0;
  };
  client.SendStr("ping");
  EXPECT_TRUE(client.WaitUntilSet(arrived, 10000));
  const bool never = false;
  EXPECT_FALSE(client.WaitUntilSet(never, 20));
}

}  // namespace
}  // namespace sntp
