// The socket object on loopback TCP, and its hidden window: message
// dispatch, the guard around handlers, pausing and the message pump.
#include <numeric>

#include "socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

std::vector<std::string> Without(std::vector<std::string> entries, const std::string& entry) {
  std::erase(entries, entry);
  return entries;
}

struct TcpTrio : ::testing::Test {
  TEventLog ClientLog, AcceptedLog;
  TWSocket Listener, Client, Accepted;

  void SetUp() override {
    Listener.SetAddr("127.0.0.1");
    Listener.SetPort("0");
    Listener.Listen();
    ASSERT_EQ(Listener.State(), wsListening);
    Listener.OnSessionAvailable = [this](TComponent*, uint16_t) {
      Accepted.SetLingerOnOff(wsLingerNoSet);  // a graceful close for the peer
      Accepted.Dup(Listener.Accept());
    };
    ClientLog.Watch(Client);
    AcceptedLog.Watch(Accepted);
    ConnectTo(Client, Listener.BoundPort(), "tcp");
    ASSERT_TRUE(PumpUntil([&] { return Client.State() == wsConnected && Accepted.State() == wsConnected; }));
  }
};

TEST_F(TcpTrio, ConnectsAcceptsAndNamesThePeers) {
  // FD_WRITE of a socket with nothing queued also tells "all sent".
  EXPECT_EQ(Without(ClientLog.Entries, "sent 0"),
            (std::vector<std::string>{"closed>opened", "opened>connecting", "connecting>connected", "connected 0"}));
  EXPECT_EQ(Without(AcceptedLog.Entries, "sent 0"), std::vector<std::string>{"closed>connected"});
  EXPECT_EQ(Accepted.PeerAddr(), "127.0.0.1");
  EXPECT_EQ(Accepted.PeerPort(), Client.BoundPort());
  EXPECT_EQ(Client.PeerPort(), Listener.BoundPort());
  sockaddr_in peer{};
  EXPECT_EQ(Listener.GetPeerName(peer, sizeof peer), -1) << "only a connected socket has a peer";
}

TEST_F(TcpTrio, ALargeSendArrivesWholeAndInOrder) {
  std::string sent(300000, '\0');
  std::iota(sent.begin(), sent.end(), '\0');
  std::string got;
  Accepted.OnDataAvailable = [&](TComponent*, uint16_t) {
    char buffer[4096];
    const int n = Accepted.Receive(buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  };
  EXPECT_EQ(Client.Send(sent.data(), static_cast<int>(sent.size())), 300000);
  ASSERT_TRUE(PumpUntil([&] { return got.size() == sent.size() && ClientLog.Count("sent 0") > 0; }));
  EXPECT_TRUE(got == sent);
  EXPECT_EQ(Accepted.ReadCount(), 300000);
}

TEST_F(TcpTrio, ThePeersCloseIsToldOnce) {
  ClientLog.Entries.clear();
  Accepted.Close();
  ASSERT_TRUE(PumpUntil([&] { return Client.State() == wsClosed; }));
  EXPECT_EQ(ClientLog.Entries, (std::vector<std::string>{"closed 0", "connected>closed"}));
}

// A close that lingers is tried again between waits for messages, for at
// most the linger time, and then made abortive, which never waits (the
// probe lets a close through only then). When a peer closes meanwhile, its
// close reaches the socket through those messages and closes it there; the
// first close then ends without telling it again.
TEST(TcpClose, ALingeringCloseIsWaitedForThenMadeAbortive) {
  struct Case { const char* What; bool PeerAnswers; std::vector<std::string> Told; };
  const Case cases[] = {
      {"a silent peer", false, {"connected>closed", "closed 0"}},
      {"a peer that closes too", true, {"closed 0", "connected>closed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TEventLog clientLog;
    TWSocket listener, accepted;
    TProbeSocket client;
    listener.SetAddr("127.0.0.1");
    listener.SetPort("0");
    listener.Listen();
    listener.OnSessionAvailable = [&](TComponent*, uint16_t) {
      accepted.Dup(listener.Accept());
      if (!c.PeerAnswers) accepted.Pause();
    };
    client.SetLingerTimeout(1);
    client.LingeringCloses = 10000;
    ConnectTo(client, listener.BoundPort(), "tcp");
    ASSERT_TRUE(PumpUntil([&] { return client.State() == wsConnected && accepted.State() == wsConnected; }));
    clientLog.Watch(client);
    client.Close();
    EXPECT_EQ(clientLog.Entries, c.Told);
    EXPECT_EQ(client.GetSocketHandle(), INVALID_SOCKET);
    EXPECT_LT(client.CloseTries, 100) << "tried again between waits, not in a spin";
  }
}

TEST(TcpConnect, RefusedConnectionReportsAndCloses) {
  TEventLog log;
  TWSocket probe, client;
  probe.SetAddr("127.0.0.1");
  probe.SetPort("0");
  probe.Listen();
  const std::string port = probe.BoundPort();
  probe.Close();  // nobody listens there now
  log.Watch(client);
  ConnectTo(client, port, "tcp");
  ASSERT_TRUE(PumpUntil([&] { return client.State() == wsClosed; }));
  EXPECT_EQ(log.Entries, (std::vector<std::string>{"closed>opened", "opened>connecting", "connecting>connected",
                                                   "connected 10061", "connected>closed", "closed 0"}));
}

TEST(SocketWindow, ClassAndForeignOrPausedMessages) {
  TWSocket server;
  ListenUdp(server);
  char className[64] = {};
  GetClassNameA(server.GetWindowHandle(), className, sizeof className);
  EXPECT_STREQ(className, "XSocketWindowClass");
  HWND found = nullptr;  // message-only windows are listed under HWND_MESSAGE alone
  do found = FindWindowExA(HWND_MESSAGE, found, "XSocketWindowClass", nullptr);
  while (found && found != server.GetWindowHandle());
  EXPECT_EQ(found, server.GetWindowHandle()) << "a message-only window";

  int calls = 0;
  server.OnDataAvailable = [&](TComponent*, uint16_t) { ++calls; };
  const HWND window = server.GetWindowHandle();
  PostMessageA(window, WM_SOCKET_EVENT, server.GetSocketHandle() + 1, FD_READ);
  PumpPosted();
  EXPECT_EQ(calls, 0) << "a message for another socket handle";
  server.Pause();
  PostMessageA(window, WM_SOCKET_EVENT, server.GetSocketHandle(), FD_READ);
  PumpPosted();
  EXPECT_EQ(calls, 0) << "paused";
  server.Resume();
  PostMessageA(window, WM_SOCKET_EVENT, server.GetSocketHandle(), FD_READ);
  PumpPosted();
  EXPECT_EQ(calls, 1);
}

TEST(SocketWindow, MessagesForASocketAlreadyGoneAreDropped) {
  std::vector<std::string> events;  // outlives the socket
  auto socket = std::make_unique<TWSocket>();
  ListenUdp(*socket);
  socket->OnDataAvailable = [&](TComponent*, uint16_t) { events.push_back("data"); };
  const HWND window = socket->GetWindowHandle();
  PostMessageA(window, WM_SOCKET_EVENT, socket->GetSocketHandle(), FD_READ | FD_CLOSE);
  socket.reset();
  PumpPosted();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(events.empty());
}

TEST(SocketWindow, HandlerExceptionsGoToTheBackgroundHandler) {
  for (const bool letClose : {true, false}) {
    std::string seen;
    TWSocket socket;
    ListenUdp(socket);
    socket.OnSessionConnected = [](TComponent*, uint16_t) { throw std::runtime_error("connected went wrong"); };
    socket.OnBgException = [&](TComponent*, const std::exception& e, bool& canClose) {
      seen = e.what();
      canClose = letClose;
    };
    PostMessageA(socket.GetWindowHandle(), WM_SOCKET_EVENT, socket.GetSocketHandle(), FD_CONNECT);
    PumpPosted();
    EXPECT_EQ(seen, "connected went wrong");
    EXPECT_EQ(socket.State(), letClose ? wsClosed : wsConnected);
  }
  // Without a background handler the socket is aborted and nothing escapes.
  TWSocket socket;
  ListenUdp(socket);
  socket.OnSessionConnected = [](TComponent*, uint16_t) { throw 42; };
  PostMessageA(socket.GetWindowHandle(), WM_SOCKET_EVENT, socket.GetSocketHandle(), FD_CONNECT);
  PumpPosted();
  EXPECT_EQ(socket.State(), wsClosed);
}

// A socket whose window could not be made.
class TWindowlessSocket : public TWSocket {
 public:
  TWindowlessSocket() { windowHandle_.reset(); }
};

// Nothing could ever notify it: each operation that waits for notifications
// reports instead.
TEST(SocketWindow, WithoutAWindowOperationsReportInsteadOfWaiting) {
  struct Case { const char* What; std::function<void(TWSocket&)> Call; std::string Report; };
  const Case cases[] = {
      {"Listen", [](TWSocket& s) { ListenUdp(s); }, "Error 10022 in function WSAASyncSelect\r\nInvalid argument"},
      {"Connect", [](TWSocket& s) { ConnectTo(s, "123"); }, "Error 10022 in function WSAAsyncSelect\r\nInvalid argument"},
      {"DnsLookup", [](TWSocket& s) { s.DnsLookup("localhost"); }, "localhost: can't start DNS lookup, error #10022"},
      {"ReverseDnsLookup", [](TWSocket& s) { s.ReverseDnsLookup("127.0.0.1"); },
       "127.0.0.1: can't start DNS lookup, error #10022"},
  };
  for (const Case& c : cases) {
    TWindowlessSocket socket;
    EXPECT_EQ(ErrorText([&] { c.Call(socket); }), c.Report) << c.What;
    EXPECT_FALSE(socket.LookupPending()) << c.What;
  }
}

TEST(SocketWindow, PumpMessagesKeepsWmQuitBack) {
  TWSocket socket;
  PostQuitMessage(0);
  socket.PumpMessages();
  EXPECT_TRUE(socket.QuitSeen());
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace sntp
