// The socket object on loopback UDP: opening, endpoints, the send queue,
// receiving, closing and the exact texts of its reports.
#include <memory>

#include "socket_test_support.h"
#include "sntp/socket/win32_handles.h"

namespace sntp {
namespace {

using namespace sntp::test;

struct UdpPair : ::testing::Test {
  // The logs outlive the sockets, whose destruction still fires events.
  TEventLog Log;
  std::vector<std::string> Received;
  TWSocket Server;
  TProbeSocket Client;

  void SetUp() override {
    ListenUdp(Server);
    ASSERT_EQ(Server.State(), wsConnected);
    Server.OnDataAvailable = [this](TComponent*, uint16_t) {
      char buffer[2048];
      sockaddr_in from{};
      int fromLen = sizeof from;
      const int n = Server.ReceiveFrom(buffer, sizeof buffer, from, fromLen);
      if (n >= 0) Received.emplace_back(buffer, static_cast<size_t>(n));
    };
    Log.Watch(Client);
    ConnectTo(Client, Server.BoundPort());
    ASSERT_EQ(Client.State(), wsConnected);
    PumpPosted();  // the first FD_WRITE of the new socket
    Log.Entries.clear();
  }
};

TEST(UdpOpen, ListenAndConnectWalkThroughTheirStates) {
  TEventLog serverLog, clientLog;
  TWSocket server, client;
  serverLog.Watch(server);
  clientLog.Watch(client);
  ListenUdp(server);
  EXPECT_EQ(serverLog.Entries, (std::vector<std::string>{"closed>bound", "bound>listening", "listening>connected",
                                                         "connected 0"}));
  ConnectTo(client, server.BoundPort());
  EXPECT_EQ(clientLog.Entries, (std::vector<std::string>{"closed>opened", "opened>connected", "connected 0"}));
  // LocalPort "0" bound an ephemeral port, which LocalPort now names.
  EXPECT_NE(client.LocalPort(), "0");
  EXPECT_EQ(client.LocalPort(), client.BoundPort());
}

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

// A socket that cannot be bound is not connected: Connect stops in wsOpened
// with the code in LastError.
TEST(UdpOpen, ALocalPortTakenEndsConnectWithItsCode) {
  TWSocket holder;
  holder.SetAddr("0.0.0.0");
  holder.SetPort("0");
  holder.SetProto("udp");
  holder.Listen();
  TEventLog log;
  TWSocket socket, silent;
  log.Watch(socket);
  socket.SetLocalPort(holder.BoundPort());
  ConnectTo(socket, "9");
  EXPECT_EQ(log.Entries, (std::vector<std::string>{"closed>opened", "error 10048"}));
  EXPECT_EQ(socket.State(), wsOpened);
  EXPECT_EQ(socket.LastError(), 10048);
  silent.SetLocalPort(holder.BoundPort());
  EXPECT_EQ(ErrorText([&] { ConnectTo(silent, "9"); }), "winsock.bind failed, error #10048");
  EXPECT_EQ(silent.State(), wsOpened);
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
    void (TCustomWSocket::*Set)(const std::string&);
    const std::string& (TCustomWSocket::*Get)() const;
    const char* Text;
  } cases[] = {
      {&TCustomWSocket::SetAddr, &TCustomWSocket::Addr, "Cannot change Addr if not closed"},
      {&TCustomWSocket::SetPort, &TCustomWSocket::Port, "Cannot change Port if not closed"},
      {&TCustomWSocket::SetProto, &TCustomWSocket::Proto, "Cannot change Proto if not closed"},
      {&TCustomWSocket::SetLocalPort, &TCustomWSocket::LocalPort, "Cannot change LocalPort if not closed"},
  };
  for (const auto& c : cases) {
    const std::string before = (Client.*c.Get)();
    EXPECT_EQ(ErrorText([&] { Client.OnError = nullptr; (Client.*c.Set)("4"); }), c.Text);
    EXPECT_EQ((Client.*c.Get)(), before);
    if (c.Set != &TCustomWSocket::SetLocalPort) {
      EXPECT_EQ(ErrorText([&] { (Client.*c.Set)(before); }), "(no report)") << c.Text;
    }
  }
  EXPECT_EQ(ErrorText([&] { Client.SetLocalPort(Client.LocalPort()); }), "Cannot change LocalPort if not closed");
  EXPECT_EQ(Client.State(), wsConnected);
}

TEST_F(UdpPair, DatagramsGoBothWaysAndAreCounted) {
  EXPECT_EQ(Client.SendStr("hello"), 5);
  ASSERT_TRUE(PumpUntil([&] { return Received.size() == 1; }));
  EXPECT_EQ(Received[0], "hello");
  EXPECT_EQ(Server.ReadCount(), 5);
  EXPECT_EQ(Log.Count("sent 0"), 1u);

  // A buffer smaller than the datagram: -1 and Winsock's code.
  Server.OnDataAvailable = nullptr;
  const std::string big(100, 'x');
  Client.SendStr(big);
  ASSERT_TRUE(PumpUntil([&] { return Server.RcvdCount() > 0; }));
  char small[10];
  sockaddr_in from{};
  int fromLen = sizeof from;
  EXPECT_EQ(Server.ReceiveFrom(small, sizeof small, from, fromLen), -1);
  EXPECT_EQ(Server.LastError(), WSAEMSGSIZE);

  // SendTo's failure is told by LastError too.
  EXPECT_EQ(Client.SendTo(from, 0, "x", 1), -1);
  EXPECT_EQ(Client.LastError(), WSAEFAULT);
}

TEST_F(UdpPair, UnhandledDataIsDroppedAndASilentHandlerIsCalledAgain) {
  auto handler = Server.OnDataAvailable;
  Server.OnDataAvailable = nullptr;
  for (const char* text : {"one", "two", "three"}) Client.SendStr(text);
  ASSERT_TRUE(PumpUntil([&] { return Server.RcvdCount() == 0; }));

  int calls = 0;
  Server.OnDataAvailable = [&](TComponent* sender, uint16_t error) {
    if (++calls == 3) handler(sender, error);  // reads only on the third call
  };
  Client.SendStr("four");
  ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
  EXPECT_EQ(Received, std::vector<std::string>{"four"}) << "the earlier datagrams were dropped";
  EXPECT_GE(calls, 3);

  // A handler that raises ends the drain; the socket carries on.
  Server.OnDataAvailable = [&](TComponent* sender, uint16_t error) {
    handler(sender, error);
    throw std::runtime_error("handler failure");
  };
  Client.SendStr("five");
  ASSERT_TRUE(PumpUntil([&] { return Received.size() == 2; }));
  EXPECT_EQ(Server.State(), wsConnected);
}

// Each Send is one datagram, queued or not: never merged with the next, nor
// split at the queue's chunk size.
TEST_F(UdpPair, QueuedDatagramsGoOutWholeAndAloneOnWrite) {
  Client.FailWith = WSAEWOULDBLOCK;
  const std::vector<std::string> datagrams = {std::string(1000, 'a'), std::string(1000, 'b'),
                                              std::string(1800, 'c')};
  for (const std::string& datagram : datagrams) EXPECT_EQ(Client.SendStr(datagram), int(datagram.size()));
  Client.FailWith = 0;
  PostMessageA(Client.GetWindowHandle(), WM_SOCKET_EVENT, Client.GetSocketHandle(), FD_WRITE);
  ASSERT_TRUE(PumpUntil([&] { return Log.Count("sent 0") == 1; }));
  ASSERT_TRUE(PumpUntil([&] { return Received.size() >= datagrams.size(); }));
  EXPECT_EQ(Client.Sends, (std::vector<int>{1000, 1000, 1800}));
  EXPECT_TRUE(Received == datagrams) << "each arrives as it was sent";
}

// A datagram that did not go out whole is reported and dropped: it is not
// sent again ahead of the next one, nor its rest as a datagram of its own.
TEST_F(UdpPair, AFailedDatagramIsReportedAndNeverResent) {
  struct Case { const char* What; int FailWith; int PartialLimit; std::vector<int> Sends; };
  const Case cases[] = {
      {"refused by Winsock", WSAEMSGSIZE, 0, {5}},
      {"sent in part", 0, 3, {3, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Client.Sends.clear();
    Log.Entries.clear();
    Client.FailWith = c.FailWith;
    Client.PartialLimit = c.PartialLimit;
    Client.SendStr("datagram");
    EXPECT_EQ(Log.Entries, std::vector<std::string>{"error 10040"});
    Client.FailWith = Client.PartialLimit = 0;
    Client.SendStr("after");
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty() && Received.back() == "after"; }));
    EXPECT_EQ(Client.Sends, c.Sends);
    PumpPosted();
  }
}

TEST_F(UdpPair, ZeroLengthSendsAndDataSent) {
  EXPECT_EQ(Client.Send("", 0), 0);  // no chunk yet: nothing to report as sent
  PumpPosted();
  EXPECT_EQ(Log.Count("sent 0"), 0u);
  Client.SendStr("x");
  PumpPosted();
  EXPECT_EQ(Client.Send("", 0), 0);  // the emptied chunk counts as all sent
  PumpPosted();
  EXPECT_EQ(Log.Count("sent 0"), 2u);
}

TEST_F(UdpPair, SendFailures) {
  Client.FailWith = WSAENOBUFS;
  Client.SendStr("x");
  EXPECT_EQ(Log.Entries, std::vector<std::string>{"error 10055"});
  Client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { Client.SendStr("x"); }),
            "Error 10055 in function TryToSend failed\r\nNo buffer space available");

  // A lost connection closes the socket and tells it once, with the code.
  Log.Watch(Client);
  Log.Entries.clear();
  Client.FailWith = WSAECONNRESET;
  Client.SendStr("x");
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"connected>closed", "closed 10054"}));
  EXPECT_EQ(Client.GetSocketHandle(), INVALID_SOCKET);

  Log.Entries.clear();
  EXPECT_EQ(Client.Send("x", 1), -1);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"closed>closed", "error 10057"}));
  Client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { Client.Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");
}

TEST_F(UdpPair, CloseRules) {
  Client.Close();
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"connected>closed", "closed 0"}));
  Log.Entries.clear();
  Client.Close();
  EXPECT_TRUE(Log.Entries.empty()) << "closing a closed socket fires nothing";
  // The defaults are back: Addr and Port still read, but count as unset.
  EXPECT_EQ(Client.Proto(), "tcp");
  EXPECT_EQ(Client.Addr(), "127.0.0.1");
  EXPECT_EQ(Client.LocalPort(), "0");
  Client.OnError = nullptr;
  EXPECT_EQ(ErrorText([&] { Client.Connect(); }), "Connect: No Port Specified");
}

TEST_F(UdpPair, PeerAddressOfADatagramSocketIsNotConnected) {
  EXPECT_EQ(Client.PeerAddr(), "error");
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"connected>closed", "error 10057"}));
  EXPECT_EQ(Client.GetSocketHandle(), INVALID_SOCKET);
}

// A socket destroyed by itself tells its close and its cancelled lookup;
// one destroyed with its owner, which marks it as going first, tells nothing.
TEST(SocketLifetime, OnlyASocketDestroyedByItselfTellsItsEnd) {
  TWSocket server;
  ListenUdp(server);
  for (const bool owned : {false, true}) {
    SCOPED_TRACE(owned ? "owned" : "alone");
    TEventLog log;
    std::vector<int> lookups;
    {
      TComponent owner;
      std::unique_ptr<TWSocket> alone = owned ? nullptr : std::make_unique<TWSocket>();
      TWSocket& socket = owned ? *new TWSocket(&owner) : *alone;
      log.Watch(socket);
      socket.OnDnsLookupDone = [&](TComponent*, uint16_t error) { lookups.push_back(error); };
      ConnectTo(socket, server.BoundPort());
      socket.DnsLookup("localhost");
    }
    EXPECT_EQ(log.Count("closed 0"), owned ? 0u : 1u);
    EXPECT_EQ(lookups, owned ? std::vector<int>{} : std::vector<int>{10004});
  }
}

// The hidden windows' class goes with the last of them, so that none is
// left behind when the library is unloaded, and comes back with the next.
TEST(SocketLifetime, TheWindowClassGoesWithTheLastWindow) {
  const auto registered = [] {
    WNDCLASSA found;
    return GetClassInfoA(ThisModule(), "XSocketWindowClass", &found) != FALSE;
  };
  {
    auto first = std::make_unique<TWSocket>();
    TWSocket second;
    EXPECT_TRUE(registered());
    first.reset();
    EXPECT_TRUE(registered()) << "a window of the class lives on";
    std::vector<int> done;
    second.OnDnsLookupDone = [&](TComponent*, uint16_t error) { done.push_back(error); };
    second.DnsLookup("localhost");
    ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
    EXPECT_EQ(done, std::vector<int>{0}) << "and is served";
  }
  EXPECT_FALSE(registered());
  TWSocket again;
  EXPECT_TRUE(registered());
  EXPECT_NE(again.GetWindowHandle(), nullptr);
}

TEST_F(UdpPair, BlockingWaitPumpsUntilTheFlagOrTheTimeOut) {
  bool arrived = false;
  Server.OnDataAvailable = [&](TComponent*, uint16_t) {
    char buffer[16];
    arrived = Server.Receive(buffer, sizeof buffer) > 0;
  };
  Client.SendStr("ping");
  EXPECT_TRUE(Client.WaitUntilSet(arrived, 10000));
  const bool never = false;
  EXPECT_FALSE(Client.WaitUntilSet(never, 20));
}

}  // namespace
}  // namespace sntp
