#pragma once
// Shared pieces of the Windows socket tests: an event log, a socket that
// can refuse sends, and a UDP responder on loopback.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sntp/socket/win32/wsocket.h"
#include "tests/sntp/socket/fake_name_services.h"
#include "tests/sntp/win32/message_pump.h"

namespace sntp::test {

// Windows always resolves a machine's own name, and the address list is read
// from it; a test machine must do the same (tools/guest-run names its guest
// so that the name resolves).
constexpr const char* kOwnNameMustResolve =
    "this machine's own host name does not resolve: give it an entry in /etc/hosts";

inline std::string StateName(TSocketState state) {
  static const char* const names[] = {"invalid", "opened", "bound", "connecting",
                                      "connected", "accepting", "listening", "closed"};
  return names[state];
}

// Records the events of the sockets it watches, in order.
struct TEventLog {
  std::vector<std::string> Entries;

  void Watch(TCustomWSocket& socket) {
    socket.OnChangeState = [this](TComponent*, TSocketState oldState, TSocketState newState) {
      Entries.push_back(StateName(oldState) + ">" + StateName(newState));
    };
    socket.OnSessionClosed = Add("closed");
    socket.OnError = [this](TComponent* sender) {
      Entries.push_back("error " + std::to_string(static_cast<TCustomWSocket*>(sender)->LastError()));
    };
  }
  TErrorCodeEvent Add(const std::string& name) {
    return [this, name](TComponent*, uint16_t error) { Entries.push_back(name + " " + std::to_string(error)); };
  }
};

// A socket whose sends can be made to fail or to go out in part, and whose
// internals tests read.
class TProbeSocket : public TWSocket {
 public:
  using TCustomWSocket::lookupHandle_;

  int FailWith = 0;        // Winsock code SendRaw fails with; 0 = real sends
  int PartialLimit = 0;    // > 0: SendRaw takes at most this many bytes
  std::vector<int> Sends;  // lengths SendRaw passed on to Winsock

 protected:
  int SendRaw(const void* data, int len) override {
    if (FailWith != 0) {
      WSASetLastError(FailWith);
      return SOCKET_ERROR;
    }
    if (PartialLimit > 0 && len > PartialLimit) len = PartialLimit;
    Sends.push_back(len);
    return TWSocket::SendRaw(data, len);
  }
};

// A UDP socket on Addr:Port (by default an ephemeral loopback port).
inline void ListenUdp(TCustomWSocket& socket, const std::string& port = "0", const std::string& addr = "127.0.0.1") {
  socket.SetAddr(addr);
  socket.SetPort(port);
  socket.SetProto("udp");
  socket.Listen();
}

inline void ConnectTo(TCustomWSocket& socket, const std::string& port) {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(port);
  socket.SetProto("udp");
  socket.Connect();
}

// A UDP socket on a port the system picks, of every local address, served by
// the test's message pump: it keeps each datagram it receives and sends back
// what Reply makes of it (nothing when Reply is empty or makes nothing).
class TUdpResponder {
 public:
  using TReply = std::function<std::string(const std::string& datagram)>;

  explicit TUdpResponder(TReply reply = {}) : reply_(std::move(reply)) {
    Socket.OnDataAvailable = [this](TComponent*, uint16_t) { Answer(); };
    ListenUdp(Socket, "0", "0.0.0.0");
  }
  std::string Port() { return Socket.BoundPort(); }

  std::vector<std::string> Received;
  TWSocket Socket;

 private:
  void Answer() {
    char datagram[2048];
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int length = Socket.ReceiveFrom(datagram, sizeof datagram, from, fromLength);
    if (length < 0) return;
    Received.emplace_back(datagram, static_cast<size_t>(length));
    const std::string reply = reply_ ? reply_(Received.back()) : std::string();
    if (!reply.empty()) Socket.SendTo(from, fromLength, reply.data(), static_cast<int>(reply.size()));
  }

  TReply reply_;
};

}  // namespace sntp::test
