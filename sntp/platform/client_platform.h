#pragma once
// What the SNTP client takes from the platform, behind small interfaces so
// that the client itself makes no platform call: its two datagram ports, its
// exchange timer, this host's addresses and the address resolver, the
// counter and the clock, and the request stamps. The library gives it
// Winsock sockets and the system's clocks (win32/system_platform.h); tests
// give it fakes.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sntp/common/local_time.h"

namespace sntp {

// One UDP endpoint of the client. An operation that fails reports through
// OnError, with the Winsock error code, and returns; nothing is raised but
// the failures of Winsock itself (it cannot be loaded or started). Every
// notification arrives in the thread that made the port, while it
// dispatches its messages.
class TDatagramPort {
 public:
  virtual ~TDatagramPort() = default;

  // Opens the port on local port Port of every interface.
  virtual void Listen(const std::string& port) = 0;
  // Opens the port on a local port the system picks, sending to Address:Port.
  virtual void Connect(const std::string& address, const std::string& port) = 0;
  // Sends one datagram.
  virtual void Send(std::span<const uint8_t> datagram) = 0;
  // Reads one waiting datagram into Buffer: returns its length, Source its
  // sender's IPv4 address in network byte order; or -1 when none could be
  // read, Error the Winsock code why: 10040 for one longer than Buffer (it is
  // lost), 10054 when an earlier datagram of the port found the destination's
  // port closed (Windows' answer to an ICMP port unreachable).
  virtual int Receive(std::span<uint8_t> buffer, uint32_t& source, uint16_t& error) = 0;
  virtual void Close() = 0;
  // Opened by Listen or Connect and not closed since.
  virtual bool IsOpen() const = 0;

  // Looks Name up asynchronously; OnNameFound tells the outcome, at once for
  // a dotted address. A lookup that cannot start reports through OnError and
  // leaves nothing pending.
  virtual void LookupName(const std::string& name) = 0;
  virtual bool LookupPending() const = 0;
  // Cancels the pending lookup, which then tells OnNameFound(10004).
  virtual void CancelLookup() = 0;

  // A datagram waits; Error comes with the notification.
  std::function<void(uint16_t error)> OnDatagram;
  // An operation failed with Error; Text says which and why, as the socket
  // words it ("Error 10048 in function Bind" CR LF "Address already in use").
  std::function<void(uint16_t error, const std::string& text)> OnError;
  // A lookup ended: Error 0 and the name's addresses as dotted text, in the
  // resolver's order (none for a name without addresses), or the Winsock
  // error code and none.
  std::function<void(uint16_t error, const std::vector<std::string>& addresses)> OnNameFound;
};

// The clock of one exchange: it says when the next thing is due (the next
// address's turn, the end). Its handler runs in the thread that made the
// timer, like the ports' notifications.
class TExchangeTimer {
 public:
  virtual ~TExchangeTimer() = default;
  // Starts a fresh interval of IntervalMs: the handler runs once it has
  // passed, and again after each further interval, until Disable or the
  // next Enable.
  virtual void Enable(int32_t intervalMs) = 0;
  // No tick after this call reaches the handler.
  virtual void Disable() = 0;
};

class TClientPlatform {
 public:
  virtual ~TClientPlatform() = default;

  virtual std::unique_ptr<TDatagramPort> CreatePort() = 0;
  // A disabled timer calling OnTimeout. Throws when the platform cannot make
  // one.
  virtual std::unique_ptr<TExchangeTimer> CreateTimer(std::function<void()> onTimeout) = 0;

  // This host's IPv4 addresses as dotted text, in order; empty when its
  // name has no host entry. Throws when its name cannot be read.
  virtual std::vector<std::string> LocalAddresses() = 0;
  // A dotted IPv4 address (blanks around it allowed) in network byte order.
  // Throws ESocketException for any other text.
  virtual uint32_t ResolveAddress(const std::string& text) = 0;

  // A monotonic count of microseconds, finer than the millisecond: the round
  // trip is read on it. A desktop's tick count moves in steps of 10-16 ms.
  virtual int64_t CounterMicroseconds() = 0;
  // The local calendar date and time of day, below the millisecond where the
  // system's clock allows.
  virtual TLocalDateTime LocalNow() = 0;
  // 64 unpredictable bits for a request's stamp.
  virtual uint64_t RandomStamp() = 0;
};

}  // namespace sntp
