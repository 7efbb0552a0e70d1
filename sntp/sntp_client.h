#pragma once
// TSNTPClient asks one time server for the current time with a single SNTP
// exchange over UDP: a 48-byte request out, a 48-byte reply back. It is
// event-driven: Query starts the exchange and returns; the outcome arrives
// through the events while the calling thread dispatches its messages.
//
// Two sockets take part: SendSocket sends the request and receives the reply
// on a port the system picks; ListenSocket listens on local port ListenPort
// ("123") of all interfaces during the exchange. A datagram on either one is
// handled the same way.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sntp/component.h"
#include "sntp/reply_checks.h"
#include "sntp/sntp_packet.h"
#include "sntp/socket/wsocket.h"
#include "sntp/timer/timer_clock.h"

namespace sntp {

class TExchangeTimer;

using TSNTPError = std::function<void(TComponent* Sender, uint16_t Error)>;
// Milliseconds since system start, wrapping at 2^32.
using TTickSource = std::function<uint32_t()>;
// 64 unpredictable bits for a request's stamp.
using TStampSource = std::function<uint64_t()>;

class TSNTPClient : public TComponent {
 public:
  // Clock: what the exchange timer measures its interval with; tests give a
  // clock of their own.
  explicit TSNTPClient(TComponent* Owner = nullptr, TimerClock& Clock = SystemTimerClock());
  ~TSNTPClient() override;

  // The server: a dotted IPv4 address or a host name.
  const std::string& HostAddr() const { return HostAddrValue; }
  void SetHostAddr(const std::string& Value) { HostAddrValue = Value; }
  // The server's UDP port: a number or a service name.
  const std::string& HostPort() const { return HostPortValue; }
  void SetHostPort(const std::string& Value) { HostPortValue = Value; }
  const std::string& ListenPort() const { return ListenPortValue; }
  void SetListenPort(const std::string& Value) { ListenPortValue = Value; }
  // The longest round trip accepted, in milliseconds; 0 or less stores 0.
  int32_t Timeout() const { return TimeoutValue; }
  void SetTimeout(int32_t Value) { TimeoutValue = Value > 0 ? Value : 0; }

  // The last reply accepted: decoded, and as received.
  const TSNTPReply& Reply() const { return ReplyValue; }
  const TPacket& RawReply() const { return RawReplyValue; }
  int32_t RoundTrip() const { return RoundTripValue; }
  bool Received() const { return ReceivedValue; }
  // The resolved server; ServerIP "0.0.0.0" means not resolved.
  uint32_t ServerAddress() const { return ServerAddressValue; }
  const std::string& ServerIP() const { return ServerIPValue; }
  // This host's first address, or "127.0.0.1" with no network.
  const std::string& LocalIP() const { return LocalIPValue; }

  // Starts one exchange with HostAddr:HostPort; abandons a running one. A
  // host name is looked up asynchronously, inside the exchange's Timeout:
  // the outcome arrives through the events either way.
  void Query();
  // Ends an exchange in which nothing was received (Sender is ignored): one
  // still waiting for its server's address fires OnResolveError, any other
  // OnTimeout. The timer's ticks reach it through the thread that created
  // the sockets, so it runs only in that thread.
  void HandleTimeout(TComponent* Sender);
  // Closes and frees both sockets and the timer (ending its threads).
  void ReleaseResources();

  TDataAvailable OnDataAvailable;  // a reply was accepted in time and decoded
  TNotifyEvent OnTimeout;          // the time ran out with nothing received
  TSNTPError OnWinsockError;       // a socket reported a failure
  TNotifyEvent OnResolveError;     // the server's address was not found in time
  TNotifyEvent OnReceiveError;     // handling a datagram failed

  // The tick counter the round trip is measured with; the platform's by
  // default, replaceable so that tests control the round trip.
  TTickSource TickCount;
  // Where each request's stamp comes from: the platform's random numbers by
  // default, replaceable so that tests know the stamp.
  TStampSource RequestStamps;

 protected:
  void HandleDatagram(TComponent* Sender, uint16_t Error);
  void HandleSocketError(TComponent* Sender);

 private:
  void PrepareSockets();
  void CreateSockets();
  void CloseSockets();
  void ResolveServerAddress(const std::string& Text);
  void StartNameLookup();
  void HandleLookupDone(uint16_t Error);
  void CancelNameLookup();
  void TakeServerAddress(uint32_t Address);
  void StartExchangeIfResolved();
  void StartExchange();
  void ListenForReplies();
  void ConnectAndSend();
  void SendRequest();
  void ReadDatagram(TCustomWSocket& Socket, uint16_t Error);
  bool IsFromServer(const sockaddr_in& Source) const;
  bool IsRefused(const TPacket& Raw) const;
  void AcceptReply(const TPacket& Raw, uint16_t Error);

  // The exchange's timer, made in the sockets' thread. Without one (it could
  // not be made) the client still works: a caller's own deadline calls
  // HandleTimeout, which ends an unanswered exchange alike.
  void CreateTimer();
  void EnableTimer();
  void DisableTimer();
  void FreeTimer();

  TSNTPReply ReplyValue;
  TPacket RawReplyValue{};
  int32_t RoundTripValue = 0;
  bool ReceivedValue = false;
  // The server's name is being looked up: no request has gone out yet.
  bool Resolving = false;
  TSentRequest SentRequest;
  uint32_t ReceiveTick = 0;
  uint32_t SendTick = 0;
  std::string HostAddrValue;
  std::string HostPortValue = "123";
  std::string ListenPortValue = "123";
  int32_t TimeoutValue = 500;
  uint32_t ServerAddressValue = 0;
  std::string ServerIPValue;
  std::string LocalIPValue;
  bool Created = false;
  std::unique_ptr<TWSocket> SendSocket;
  std::unique_ptr<TWSocket> ListenSocket;
  TimerClock& TimerClockSource;
  std::unique_ptr<TExchangeTimer> Timer;
};

// The client as the library creates it.
class TSNTP : public TSNTPClient {
 public:
  using TSNTPClient::TSNTPClient;
};

}  // namespace sntp
