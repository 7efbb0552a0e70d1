// The socket's hidden window: a message-only window, messages for another
// socket handle or for a socket already gone, the guard around handlers,
// and a socket whose window could not be made.
#include <memory>

#include "tests/sntp/socket/win32/socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

// Each Listen makes a new socket handle: a message for the handle of an
// earlier exchange is not this one's.
TEST(SocketWindow, AMessageOnlyWindowThatTakesOnlyItsSocketsMessages) {
  TWSocket server;
  ListenUdp(server);
  HWND found = nullptr;  // message-only windows are listed under HWND_MESSAGE alone
  do found = FindWindowExA(HWND_MESSAGE, found, "XSocketWindowClass", nullptr);
  while (found && found != server.GetWindowHandle());
  EXPECT_EQ(found, server.GetWindowHandle()) << "a message-only window";

  int calls = 0;
  server.OnDataAvailable = [&](TComponent*, uint16_t) { ++calls; };
  PostMessageA(found, WM_SOCKET_EVENT, server.GetSocketHandle() + 1, FD_READ);
  PumpPosted();
  EXPECT_EQ(calls, 0) << "a message for another socket handle";
  PostMessageA(found, WM_SOCKET_EVENT, server.GetSocketHandle(), FD_READ);
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

// Nothing a handler raises crosses into the system's dispatch: the drain of
// the waiting datagrams ends, and the socket carries on.
TEST(SocketWindow, AHandlerThatRaisesEndsTheDrainAndTheSocketGoesOn) {
  TWSocket socket;
  ListenUdp(socket);
  int calls = 0;
  socket.OnDataAvailable = [&](TComponent*, uint16_t) {
    ++calls;
    throw 42;
  };
  for (int i = 0; i < 2; ++i) PostMessageA(socket.GetWindowHandle(), WM_SOCKET_EVENT, socket.GetSocketHandle(), FD_READ);
  PumpPosted();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(socket.State(), wsConnected);
}

// A socket whose window could not be made.
class TWindowlessSocket : public TWSocket {
 public:
  TWindowlessSocket() { windowHandle_.reset(); }
};

// Nothing could ever notify it: each operation that waits for notifications
// reports instead.
TEST(SocketWindow, WithoutAWindowOperationsReportInsteadOfWaiting) {
  struct TCase { const char* What; std::function<void(TWSocket&)> Call; std::string Report; };
  const TCase cases[] = {
      {"Listen", [](TWSocket& s) { ListenUdp(s); }, "Error 10022 in function WSAASyncSelect\r\nInvalid argument"},
      {"Connect", [](TWSocket& s) { ConnectTo(s, "123"); }, "Error 10022 in function WSAAsyncSelect\r\nInvalid argument"},
      {"DnsLookup", [](TWSocket& s) { s.DnsLookup("localhost"); }, "localhost: can't start DNS lookup, error #10022"},
  };
  for (const TCase& c : cases) {
    TWindowlessSocket socket;
    EXPECT_EQ(ErrorText([&] { c.Call(socket); }), c.Report) << c.What;
    EXPECT_FALSE(socket.LookupPending()) << c.What;
  }
}

}  // namespace
}  // namespace sntp
