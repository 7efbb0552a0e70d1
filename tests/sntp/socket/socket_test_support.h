#pragma once
// Shared pieces of the Windows socket tests: pumping the thread's messages
// until a condition holds (with a generous bound, never a timed assertion),
// an event log, and a socket that exposes its queue and can refuse sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sntp/socket/wsocket.h"

namespace sntp::testing {

constexpr UINT kMarkerMessage = WM_APP + 77;

// Windows always resolves a machine's own name, and the address list is read
// from it; a test machine must do the same (tools/guest-run names its guest
// so that the name resolves).
constexpr const char* kOwnNameMustResolve =
    "this machine's own host name does not resolve: give it an entry in /etc/hosts";

// Dispatches queued messages until Done() holds; false if it never did.
template <class Predicate>
bool PumpUntil(Predicate Done, int Rounds = 1000) {
  for (int round = 0; round < Rounds && !Done(); ++round) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (!Done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return Done();
}

// Handles everything posted to this thread before the call.
inline void PumpPosted() {
  PostThreadMessageA(GetCurrentThreadId(), kMarkerMessage, 0, 0);
  bool seen = false;
  MSG message;
  while (!seen && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == kMarkerMessage) seen = true;
    DispatchMessageA(&message);
  }
}

inline std::string StateName(TSocketState State) {
  static const char* const names[] = {"invalid", "opened", "bound", "connecting",
                                      "connected", "accepting", "listening", "closed"};
  return names[State];
}

// Records the events of the sockets it watches, in order.
struct TEventLog {
  std::vector<std::string> entries;

  void Watch(TCustomWSocket& Socket, bool WithOnError = true) {
    Socket.OnChangeState = [this](TComponent*, TSocketState Old, TSocketState New) {
      entries.push_back(StateName(Old) + ">" + StateName(New));
    };
    Socket.OnSessionConnected = Add("connected");
    Socket.OnSessionClosed = Add("closed");
    Socket.OnDataSent = Add("sent");
    if (WithOnError)
      Socket.OnError = [this](TComponent* Sender) {
        entries.push_back("error " + std::to_string(static_cast<TCustomWSocket*>(Sender)->LastError()));
      };
  }
  TSocketErrorEvent Add(const std::string& Name) {
    return [this, Name](TComponent*, uint16_t Error) { entries.push_back(Name + " " + std::to_string(Error)); };
  }
  size_t Count(const std::string& Entry) const {
    size_t n = 0;
    for (const auto& e : entries) n += e == Entry;
    return n;
  }
};

// A socket whose sends can be made to fail, and whose internals tests read.
class TProbeSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
  using TCustomWSocket::AllSent;
  using TCustomWSocket::LookupHandle;
  using TCustomWSocket::SendQueue;

  int failWith = 0;         // Winsock code SendRaw fails with; 0 = real sends
  int partialLimit = 0;     // > 0: SendRaw takes at most this many bytes
  std::vector<int> sends;   // lengths SendRaw passed on to Winsock

 protected:
  int SendRaw(const void* Data, int Len) override {
    if (failWith != 0) {
      WSASetLastError(failWith);
      return SOCKET_ERROR;
    }
    if (partialLimit > 0 && Len > partialLimit) Len = partialLimit;
    sends.push_back(Len);
    return TWSocket::SendRaw(Data, Len);
  }
};

// A UDP socket listening on an ephemeral loopback port.
inline void ListenUdp(TCustomWSocket& Socket) {
  Socket.SetAddr("127.0.0.1");
  Socket.SetPort("0");
  Socket.SetProto("udp");
  Socket.Listen();
}

inline void ConnectTo(TCustomWSocket& Socket, const std::string& Port, const std::string& Proto = "udp") {
  Socket.SetAddr("127.0.0.1");
  Socket.SetPort(Port);
  Socket.SetProto(Proto);
  Socket.Connect();
}

inline std::string ErrorText(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const ESocketException& E) {
    return E.what();
  }
  return "(no report)";
}

}  // namespace sntp::testing
