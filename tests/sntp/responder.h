#pragma once
// Test support for the client and the library under Wine: a UDP time
// responder on loopback that answers in the way a test asks, and a message
// pump that runs until a condition holds.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sntp/sntp_packet.h"

namespace sntp::test {

enum class TAnswer {
  Reply,        // the configured 48-byte reply
  Silent,       // nothing
  Short47,      // the reply's first 47 bytes
  Long68,       // the reply and 20 more bytes
  EchoRequest,  // the request itself
};

// A reply of a synchronised stratum-2 server (version 3, mode 4) whose
// receive and transmit timestamps are both Seconds.
TPacket ServerReply(uint32_t Seconds);

// Answers every request on its own port. By default the answer goes back to
// the request's source; with ReplyTo it goes to that address instead, at the
// same port, and so arrives from whichever local address the system picks
// for it (under Wine a socket bound to one loopback address does not keep
// that address as its source).
class TResponder {
 public:
  TResponder(TAnswer Answer, const TPacket& Reply, const std::string& ReplyTo = "");
  ~TResponder();
  TResponder(const TResponder&) = delete;
  TResponder& operator=(const TResponder&) = delete;

  // The port it listens on, on every local address.
  uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  int Requests() const { return requests_.load(); }
  std::vector<uint8_t> LastRequest() const;

 private:
  void Serve();
  void Answer(const std::vector<uint8_t>& Request, const sockaddr_in& Client);

  TAnswer answer_;
  TPacket reply_;
  std::string replyTo_;
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<int> requests_{0};
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<uint8_t> lastRequest_;
  std::thread thread_;
};

// A UDP socket bound to Address:Port, or INVALID_SOCKET. Port 0: any.
SOCKET BoundUdpSocket(const char* Address, uint16_t Port);
uint16_t BoundPort(SOCKET Socket);

// Whether this process may bind local UDP port Port on all addresses now.
bool CanBindUdpPort(uint16_t Port);

// This host's first address as the library sees it ("127.0.0.1" when it has
// none): then only "127.0.0.1" is ever asked.
std::string FirstHostAddress();
bool HostHasNetworkAddress();

// Dispatches this thread's messages until Done holds or about LimitMs pass;
// returns Done().
bool PumpUntil(const std::function<bool()>& Done, DWORD LimitMs = 10000);

}  // namespace sntp::test
