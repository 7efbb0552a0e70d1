#pragma once
// A platform for the SNTP client in memory: ports that log what the client
// does with them and hand it the datagrams a test delivers, a timer the test
// fires, this host's addresses, a microsecond counter and a local time the
// test sets, and the request stamps (kRequestStamp once the test's are
// used up).
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sntp/platform/client_platform.h"
#include "sntp/client/sntp_packet.h"
#include "tests/sntp/client/reply_builder.h"

namespace sntp::test {

class TFakePlatform;

class TFakePort final : public TDatagramPort {
 public:
  explicit TFakePort(TFakePlatform& platform);
  ~TFakePort() override;

  void Listen(const std::string& port) override;
  void Connect(const std::string& address, const std::string& port) override;
  void Send(std::span<const uint8_t> datagram) override;
  int Receive(std::span<uint8_t> buffer, uint32_t& source, uint16_t& error) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  void LookupName(const std::string& name) override;
  bool LookupPending() const override { return pending_; }
  void CancelLookup() override;

  // Signals a datagram from Source (dotted), as the socket does, and leaves
  // it to be read.
  void Deliver(const std::vector<uint8_t>& datagram, const std::string& source);
  // Signals what Windows reports after a datagram of this port met a closed
  // port: the next read fails with 10054.
  void DeliverPortUnreachable();
  // Ends the pending lookup.
  void FinishLookup(uint16_t error, const std::vector<std::string>& addresses = {});

  // What the client did, in order: "listen 123", "connect 10.0.0.1:123",
  // "send", "close", "lookup pool.test", "cancel".
  std::vector<std::string> Calls;
  std::vector<std::vector<uint8_t>> Sent;
  uint16_t OpenError = 0;    // Listen and Connect report it and leave the port closed
  uint16_t LookupError = 0;  // LookupName reports it and starts nothing

 private:
  bool Open(const std::string& call, uint16_t error);

  TFakePlatform& platform_;
  bool open_ = false;
  bool pending_ = false;
  std::deque<std::pair<std::vector<uint8_t>, uint32_t>> waiting_;
  bool resetWaiting_ = false;
};

class TFakeTimer final : public TExchangeTimer {
 public:
  explicit TFakeTimer(TFakePlatform& platform) : platform_(platform) {}
  ~TFakeTimer() override;
  void Enable(int32_t intervalMs) override {
    Enabled = true;
    IntervalMs = intervalMs;
  }
  void Disable() override { Enabled = false; }
  bool Enabled = false;
  int32_t IntervalMs = 0;  // of the last enabling

 private:
  TFakePlatform& platform_;
};

class TFakePlatform final : public TClientPlatform {
 public:
  std::unique_ptr<TDatagramPort> CreatePort() override;
  std::unique_ptr<TExchangeTimer> CreateTimer(std::function<void()> onTimeout) override;
  std::vector<std::string> LocalAddresses() override { return Addresses; }
  uint32_t ResolveAddress(const std::string& text) override;
  int64_t CounterMicroseconds() override { return Counter; }
  TLocalDateTime LocalNow() override { return Now; }
  uint64_t RandomStamp() override;

  // The timer's handler, when the timer exists and is enabled.
  void FireTimer();
  // Moves the counter on to Milliseconds (a query sent at once reads 1000)
  // and fires the timer, as when its interval has run.
  void RunTimerUntil(double milliseconds);

  std::vector<std::string> Addresses = {"10.0.0.5"};
  int64_t Counter = 1000000;
  TLocalDateTime Now;
  std::deque<uint64_t> Stamps;  // handed out first, then kRequestStamp
  bool RefuseTimer = false;
  uint16_t ConnectError = 0;  // every Connect reports it, unless the port has its own OpenError

  // Live ports in the order made (the client's SendSocket first), and how
  // many were ever made; the live timer.
  std::vector<TFakePort*> Ports;
  int PortsMade = 0;
  TFakeTimer* Timer = nullptr;

 private:
  std::function<void()> onTimeout_;
};

// Dotted text to an address in network byte order.
uint32_t DottedToAddress(const std::string& text);

}  // namespace sntp::test
