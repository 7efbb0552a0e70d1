// The socket object on loopback TCP, and its hidden window: message
// dispatch, the guard around handlers, pausing and the message pump.
#include <numeric>

#include "sntp/socket/socket_window.h"
#include "socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::testing;

std::vector<std::string> Without(std::vector<std::string> Entries, const std::string& Entry) {
  std::erase(Entries, Entry);
  return Entries;
}

struct TcpTrio : ::testing::Test {
  TEventLog clientLog, acceptedLog;
  TWSocket listener, client, accepted;

  void SetUp() override {
    listener.SetAddr("127.0.0.1");
    listener.SetPort("0");
    listener.Listen();
    ASSERT_EQ(listener.State(), wsListening);
    listener.OnSessionAvailable = [this](TComponent*, uint16_t) {
      accepted.SetLingerOnOff(wsLingerNoSet);  // a graceful close for the peer
      accepted.Dup(listener.Accept());
    };
    clientLog.Watch(client);
    acceptedLog.Watch(accepted);
    ConnectTo(client, listener.BoundPort(), "tcp");
    ASSERT_TRUE(PumpUntil([&] { return client.State() == wsConnected && accepted.State() == wsConnected; }));
  }
};

TEST_F(TcpTrio, ConnectsAcceptsAndNamesThePeers) {
  // FD_WRITE of a socket with nothing queued also tells "all sent".
  EXPECT_EQ(Without(clientLog.entries, "sent 0"),
            (std::vector<std::string>{"closed>opened", "opened>connecting", "connecting>connected", "connected 0"}));
  EXPECT_EQ(Without(acceptedLog.entries, "sent 0"), std::vector<std::string>{"closed>connected"});
  EXPECT_EQ(accepted.PeerAddr(), "127.0.0.1");
  EXPECT_EQ(accepted.PeerPort(), client.BoundPort());
  EXPECT_EQ(client.PeerPort(), listener.BoundPort());
  sockaddr_in peer{};
  EXPECT_EQ(listener.GetPeerName(peer, sizeof peer), -1) << "only a connected socket has a peer";
}

TEST_F(TcpTrio, ALargeSendArrivesWholeAndInOrder) {
  std::string sent(300000, '\0');
  std::iota(sent.begin(), sent.end(), '\0');
  std::string got;
  accepted.OnDataAvailable = [&](TComponent*, uint16_t) {
    char buffer[4096];
    const int n = accepted.Receive(buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  };
  EXPECT_EQ(client.Send(sent.data(), static_cast<int>(sent.size())), 300000);
  ASSERT_TRUE(PumpUntil([&] { return got.size() == sent.size() && clientLog.Count("sent 0") > 0; }));
  EXPECT_TRUE(got == sent);
  EXPECT_EQ(accepted.ReadCount(), 300000);
}

TEST_F(TcpTrio, ThePeersCloseIsToldOnce) {
  clientLog.entries.clear();
  accepted.Close();
  ASSERT_TRUE(PumpUntil([&] { return client.State() == wsClosed; }));
  EXPECT_EQ(clientLog.entries, (std::vector<std::string>{"closed 0", "connected>closed"}));
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
  EXPECT_EQ(log.entries, (std::vector<std::string>{"closed>opened", "opened>connecting", "connecting>connected",
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
  EXPECT_EQ(SendMessageA(window, WM_LINE_DATA_PENDING, 0, 0), 0);
}

TEST(SocketWindow, MessagesForASocketAlreadyGoneAreDropped) {
  auto* socket = new TWSocket;
  ListenUdp(*socket);
  PostMessageA(socket->GetWindowHandle(), WM_SOCKET_EVENT, socket->GetSocketHandle(), FD_READ | FD_CLOSE);
  delete socket;
  PumpPosted();
}

TEST(SocketWindow, HandlerExceptionsGoToTheBackgroundHandler) {
  for (const bool canClose : {true, false}) {
    std::string seen;
    TWSocket socket;
    ListenUdp(socket);
    socket.OnSessionConnected = [](TComponent*, uint16_t) { throw std::runtime_error("connected went wrong"); };
    socket.OnBgException = [&](TComponent*, const std::exception& E, bool& CanClose) {
      seen = E.what();
      CanClose = canClose;
    };
    PostMessageA(socket.GetWindowHandle(), WM_SOCKET_EVENT, socket.GetSocketHandle(), FD_CONNECT);
    PumpPosted();
    EXPECT_EQ(seen, "connected went wrong");
    EXPECT_EQ(socket.State(), canClose ? wsClosed : wsConnected);
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
  TWindowlessSocket() {
    TSocketWindow::Destroy(WindowHandle);
    WindowHandle = nullptr;
  }
};

// Nothing could ever notify it: each operation that waits for notifications
// reports instead.
TEST(SocketWindow, WithoutAWindowOperationsReportInsteadOfWaiting) {
  struct Case { const char* what; std::function<void(TWSocket&)> call; std::string report; };
  const Case cases[] = {
      {"Listen", [](TWSocket& s) { ListenUdp(s); }, "Error 10022 in function WSAASyncSelect\r\nInvalid argument"},
      {"Connect", [](TWSocket& s) { ConnectTo(s, "123"); }, "Error 10022 in function WSAAsyncSelect\r\nInvalid argument"},
      {"DnsLookup", [](TWSocket& s) { s.DnsLookup("localhost"); }, "localhost: can't start DNS lookup, error #10022"},
      {"ReverseDnsLookup", [](TWSocket& s) { s.ReverseDnsLookup("127.0.0.1"); },
       "127.0.0.1: can't start DNS lookup, error #10022"},
  };
  for (const Case& c : cases) {
    TWindowlessSocket socket;
    EXPECT_EQ(ErrorText([&] { c.call(socket); }), c.report) << c.what;
    EXPECT_FALSE(socket.LookupPending()) << c.what;
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
