#pragma once
// An SNTP client set up against a loopback responder, counting its events,
// each checked to come from the client. ListenPort "0" lets the listening
// socket take any free port, so that most tests do not need port 123.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "responder.h"
#include "sntp/sntp_client.h"

namespace sntp::test {

struct TClientUnderTest {
  TSNTP Client;
  int DataAvailable = 0, Timeout = 0, ResolveError = 0, ReceiveError = 0;
  std::vector<uint16_t> WinsockErrors;
  DWORD TimeoutThread = 0;  // the thread the last OnTimeout ran in

  explicit TClientUnderTest(const TResponder& Responder, const std::string& ListenPort = "0",
                            TimerClock& Clock = SystemTimerClock(), int32_t TimeoutMs = 4000)
      : Client(nullptr, Clock) {
    Client.SetHostAddr("127.0.0.1");
    Client.SetHostPort(Responder.PortText());
    Client.SetListenPort(ListenPort);
    Client.SetTimeout(TimeoutMs);
    Client.OnDataAvailable = [this](TComponent* s, uint16_t) { Count(s, DataAvailable); };
    Client.OnTimeout = [this](TComponent* s) {
      TimeoutThread = GetCurrentThreadId();
      Count(s, Timeout);
    };
    Client.OnResolveError = [this](TComponent* s) { Count(s, ResolveError); };
    Client.OnReceiveError = [this](TComponent* s) { Count(s, ReceiveError); };
    Client.OnWinsockError = [this](TComponent* s, uint16_t e) {
      EXPECT_EQ(s, &Client);
      WinsockErrors.push_back(e);
    };
  }
  void Count(TComponent* Sender, int& Counter) {
    EXPECT_EQ(Sender, &Client);
    ++Counter;
  }
  int Events() const {
    return DataAvailable + Timeout + ResolveError + ReceiveError + static_cast<int>(WinsockErrors.size());
  }
  // The request leaves at tick Send; every datagram is signalled at Receive.
  void ScriptTicks(uint32_t Send, uint32_t Receive) {
    auto calls = std::make_shared<int>(0);
    Client.TickCount = [calls, Send, Receive] { return (*calls)++ == 0 ? Send : Receive; };
  }
  bool QueryAndWaitFor(const int& Counter, int Value) {
    Client.Query();
    return PumpUntil([&] { return Counter == Value; });
  }
};

}  // namespace sntp::test
