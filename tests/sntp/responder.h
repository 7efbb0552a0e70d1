#pragma once
// Test support under Wine: a UDP time responder on loopback that answers as
// a test asks, and a message pump that runs until a condition holds.
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

enum class TAnswer { Reply, Silent, Short47, Long68 };

// A synchronised stratum-2 server's reply (version 3, mode 4) whose receive
// and transmit timestamps are both Seconds.
TPacket ServerReply(uint32_t Seconds);

// Answers each request on its own port, on every local address. The answer
// goes back to the request's source, or with ReplyTo to that address at the
// same port, and then arrives from whichever local address the system picks
// (under Wine a socket bound to one loopback address does not keep it as
// its source). A Reply answer carries the request's transmit timestamp as
// its originate timestamp, as servers do; the Early datagrams, sent as they
// are before each answer, stand for stray or bogus replies.
class TResponder {
 public:
  TResponder(TAnswer Answer, const TPacket& Reply, const std::string& ReplyTo = "",
             std::vector<TPacket> Early = {});
  ~TResponder();

  std::string PortText() const { return std::to_string(port_); }
  int Requests() const { return requests_; }
  std::vector<uint8_t> LastRequest() const;

 private:
  void Serve();
  void Answer(const std::vector<uint8_t>& Request, sockaddr_in Client);

  const TAnswer answer_;
  const TPacket reply_;
  const std::string replyTo_;
  const std::vector<TPacket> early_;
  SOCKET socket_;
  uint16_t port_ = 0;
  std::atomic<int> requests_{0};
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<uint8_t> lastRequest_;
  std::thread thread_;
};

// A UDP socket bound to Address:Port (0: any), or INVALID_SOCKET.
SOCKET BoundUdpSocket(const char* Address, uint16_t Port);
uint16_t BoundPort(SOCKET Socket);
bool CanBindUdpPort(uint16_t Port);

// This host's first address as the library sees it, "127.0.0.1" for none:
// with no network the library asks only "127.0.0.1".
std::string FirstHostAddress();
inline bool HostHasNetworkAddress() { return FirstHostAddress() != "127.0.0.1"; }

// Dispatches this thread's messages until Done holds or about LimitMs pass.
bool PumpUntil(const std::function<bool()>& Done, DWORD LimitMs = 10000);

}  // namespace sntp::test
