#pragma once
// Shared pieces of the Windows socket tests: an event log, and a socket that
// exposes its queue and can refuse sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_name_services.h"
#include "message_pump.h"
#include "sntp/socket/wsocket.h"

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
    socket.OnSessionConnected = Add("connected");
    socket.OnSessionClosed = Add("closed");
    socket.OnDataSent = Add("sent");
    socket.OnError = [this](TComponent* sender) {
      Entries.push_back("error " + std::to_string(static_cast<TCustomWSocket*>(sender)->LastError()));
    };
  }
  TErrorCodeEvent Add(const std::string& name) {
    return [this, name](TComponent*, uint16_t error) { Entries.push_back(name + " " + std::to_string(error)); };
  }
  size_t Count(const std::string& entry) const {
    size_t n = 0;
    for (const auto& e : Entries) n += e == entry;
    return n;
  }
};

// A socket whose sends can be made to fail, whose close can linger, and
// whose internals tests read.
class TProbeSocket : public TWSocket {
 public:
  using TCustomWSocket::lookupHandle_;

  int FailWith = 0;         // Winsock code SendRaw fails with; 0 = real sends
  int PartialLimit = 0;     // > 0: SendRaw takes at most this many bytes
  std::vector<int> Sends;   // lengths SendRaw passed on to Winsock
  // The first LingeringCloses tries of a close answer WSAEWOULDBLOCK while
  // the socket's linger time is not zero, as Windows answers for a
  // non-blocking socket whose close lingers (Wine never lingers).
  int LingeringCloses = 0;
  int CloseTries = 0;

 protected:
  int CloseRaw(SOCKET handle) override {
    if (++CloseTries <= LingeringCloses && Lingers(handle)) {
      WSASetLastError(WSAEWOULDBLOCK);
      return SOCKET_ERROR;
    }
    return TWSocket::CloseRaw(handle);
  }
  static bool Lingers(SOCKET handle) {
    linger value{};
    int length = sizeof value;
    return getsockopt(handle, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&value), &length) == 0 &&
           value.l_onoff != 0 && value.l_linger > 0;
  }
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

// A UDP socket listening on a loopback port, by default an ephemeral one.
inline void ListenUdp(TCustomWSocket& socket, const std::string& port = "0") {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(port);
  socket.SetProto("udp");
  socket.Listen();
}

inline void ConnectTo(TCustomWSocket& socket, const std::string& port, const std::string& proto = "udp") {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(port);
  socket.SetProto(proto);
  socket.Connect();
}

}  // namespace sntp::test
