// What the socket offers beyond the library's exchange, over loopback TCP,
// step by step as a session lives: listening, connecting, accepting and
// adopting the accepted handle, the peer's names, data both ways as strings,
// flushing, a lingering close that the other side hears, and an abort.
#include "tests/sntp/socket/win32/socket_test_support.h"

namespace sntp {
namespace {

using namespace sntp::test;

// A listening socket on loopback, a client connected to it, and the
// server's side of the session, adopted from the listener's Accept.
struct TSession {
  TEventLog Log;  // outlives the sockets, whose destruction still fires events
  TWSocket Listener, Client, Server;
  std::string ServerGot, ClientGot;

  TSession() {
    Listener.OnSessionAvailable = [this](TComponent*, uint16_t error) {
      Log.Entries.push_back("available " + std::to_string(error));
      Server.Dup(Listener.Accept());
    };
    Client.OnSessionConnected = Log.Add("connected");
    Client.OnSessionClosed = Log.Add("client closed");
    Server.OnSessionClosed = Log.Add("server closed");
    Server.OnDataAvailable = [this](TComponent*, uint16_t) { ServerGot += Server.ReceiveStr(); };
    Client.OnDataAvailable = [this](TComponent*, uint16_t) { ClientGot += Client.ReceiveStr(); };
  }
};

void Open(TCustomWSocket& socket, const std::string& port) {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(port);
  socket.SetProto("tcp");
}

TEST(WSocketStream, ASessionFromConnectToClose) {
  TSession s;
  struct TStep {
    const char* What;
    std::function<void()> Do;
    std::function<bool()> Done;
  };
  const TStep steps[] = {
      {"listen",
       [&] {
         Open(s.Listener, "0");
         s.Listener.Listen();
       },
       [&] { return s.Listener.State() == wsListening && s.Listener.BoundPort() != "error"; }},
      {"connect and accept",
       [&] {
         Open(s.Client, s.Listener.BoundPort());
         s.Client.Connect();
       },
       [&] { return s.Client.State() == wsConnected && s.Server.State() == wsConnected; }},
      {"the peers' names", [] {},
       [&] { return s.Server.PeerAddr() == "127.0.0.1" && s.Client.PeerPort() == s.Listener.BoundPort(); }},
      {"send and receive both ways",
       [&] {
         s.Client.SendStr("ping");
         s.Server.SendStr("pong");
         s.Client.Flush();
       },
       [&] { return s.ServerGot == "ping" && s.ClientGot == "pong"; }},
      {"a lingering close, heard on the other side",
       [&] {
         s.Client.SetLingerOnOff(wsLingerOn);
         s.Client.SetLingerTimeout(1);
         s.Client.Close();
       },
       [&] { return s.Client.State() == wsClosed && s.Server.State() == wsClosed; }},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.What);
    step.Do();
    EXPECT_TRUE(PumpUntil(step.Done)) << step.What;
  }
  EXPECT_EQ(s.Log.Entries, (std::vector<std::string>{"available 0", "connected 0", "client closed 0",
                                                      "server closed 0"}));
}

// Abort drops the send queue and closes at once, without lingering; the
// other side hears the session closed.
TEST(WSocketStream, AnAbortEndsTheSessionAtOnce) {
  TSession s;
  Open(s.Listener, "0");
  s.Listener.Listen();
  Open(s.Client, s.Listener.BoundPort());
  s.Client.Connect();
  ASSERT_TRUE(PumpUntil([&] { return s.Server.State() == wsConnected && s.Client.State() == wsConnected; }));
  s.Server.Abort();
  EXPECT_EQ(s.Server.State(), wsClosed);
  ASSERT_TRUE(PumpUntil([&] { return s.Client.State() == wsClosed; }));
  EXPECT_EQ(s.Log.Entries.back(), "client closed 0");
}

}  // namespace
}  // namespace sntp
