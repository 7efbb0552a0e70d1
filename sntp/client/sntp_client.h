#pragma once
// TSNTPClient asks a time server for the current time with SNTP over UDP: a
// 48-byte request out, a 48-byte reply back. It is event-driven: Query
// starts the exchange and returns; the outcome arrives through the events
// while the calling thread dispatches its messages.
//
// A server named by a host name may have several addresses (a pool name
// has four, served by volunteers who come and go). Each distinct address, up
// to four in the resolver's order, is asked once: the first at once, each
// next one when the one before has not answered within kAddressStepMs, or at
// once when it is known dead (its port closed, a send that failed, a
// kiss-o'-death, a late reply). The first reply that passes the reply checks
// ends the exchange; the time-out bounds all of it.
//
// Each address is asked from a socket of its own, so that a closed port
// (which Windows reports on the next read of the socket that sent to it)
// ends that address's attempt and no other. The first of them, SendSocket,
// also looks the name up. ListenSocket listens on local port ListenPort
// ("123") of all interfaces from the exchange's first request on; a datagram
// there is handled like one on the socket that asked its sender. The
// listener is a second way in, never a condition: where another program
// holds the port (Windows' time service does) the exchange goes on without
// it. The ports, the timer and the clocks come from the platform the client
// is given, so the client makes no platform call.
//
// A kiss-o'-death that answers a request holds its address back, through
// the hold-back record the client is given; an address held back is not
// sent anything.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sntp/platform/client_platform.h"
#include "sntp/common/component.h"
#include "sntp/client/reply_checks.h"
#include "sntp/client/server_hold_back.h"
#include "sntp/client/sntp_packet.h"

namespace sntp {

using TSNTPError = TErrorCodeEvent;
// The client's reason, as the log says it.
using THeldBackEvent = std::function<void(TComponent* sender, const std::string& reason)>;
// A step of the exchange as a person reads it: "SNTP > ..." lines.
using TTraceEvent = std::function<void(TComponent* sender, const std::string& text)>;

// The trace line of a reply taken starts so, the address that sent it next:
// "SNTP > received: reply from 10.0.0.1 taken, round trip 12 ms".
constexpr char kReplyTakenTrace[] = "SNTP > received: reply from ";

class TSNTPClient : public TComponent {
 public:
  // How long an address has to answer before the next one is asked: four
  // addresses fit the 4 s time-out with a second each, far above a pool
  // server's round trip (tens of milliseconds; half a second across the
  // world).
  static constexpr int32_t kAddressStepMs = 1000;
  // The addresses of one name that are asked, at most.
  static constexpr size_t kMostAddresses = 4;

  // Platform and HoldBack outlive the client.
  TSNTPClient(TClientPlatform& platform, TServerHoldBack& holdBack);
  ~TSNTPClient() override;

  // The server: a dotted IPv4 address or a host name.
  const std::string& HostAddr() const { return hostAddr_; }
  void SetHostAddr(const std::string& value) { hostAddr_ = value; }
  // The server's UDP port: a number or a service name.
  const std::string& HostPort() const { return hostPort_; }
  void SetHostPort(const std::string& value) { hostPort_ = value; }
  const std::string& ListenPort() const { return listenPort_; }
  void SetListenPort(const std::string& value) { listenPort_ = value; }
  // The time the exchange may take, and the longest round trip accepted,
  // in milliseconds; 0 or less stores 0.
  int32_t Timeout() const { return timeout_; }
  void SetTimeout(int32_t value) { timeout_ = value > 0 ? value : 0; }

  // The last reply taken: decoded, and as received.
  const TSNTPReply& Reply() const { return reply_; }
  const TPacket& RawReply() const { return rawReply_; }
  int32_t RoundTrip() const { return roundTrip_; }
  // The exchange ended on a reply it took.
  bool Received() const { return received_; }
  // The server's address this query asked first, or once one answered, the
  // one that answered; ServerAddress 0 and ServerIP "0.0.0.0" mean not
  // resolved.
  uint32_t ServerAddress() const { return serverAddress_; }
  const std::string& ServerIP() const { return serverIp_; }
  // This host's first address, or "127.0.0.1" with no network.
  const std::string& LocalIP() const { return localIp_; }
  // The last accepted reply's ServerTime minus the local time now, in days.
  double OffsetFromLocalTime() const;

  // Starts one exchange with HostAddr:HostPort; abandons a running one. A
  // host name is looked up asynchronously, inside the exchange's Timeout:
  // the outcome arrives through the events either way.
  void Query();
  // Ends a running exchange (Sender is ignored): one still waiting for its
  // server's addresses fires OnResolveError, any other OnTimeout.
  void HandleTimeout(TComponent* sender);
  // Closes and frees the ports and the timer.
  void ReleaseResources();

  TDataAvailable OnDataAvailable;  // a reply was accepted in time and decoded
  // No believable reply came by the time-out, or none can come any more: every
  // address was held back, sent a kiss-o'-death, answered late, or failed.
  TNotifyEvent OnTimeout;
  // Every address asked failed with a socket error (the last one's code), or
  // the lookup could not start.
  TSNTPError OnWinsockError;
  TNotifyEvent OnResolveError;  // the server's address was not found in time
  TNotifyEvent OnReceiveError;  // handling a datagram failed
  // An address is held back: it was not asked, or its kiss-o'-death just
  // ended its attempt. The exchange goes on with the next address.
  THeldBackEvent OnHeldBack;
  // ListenSocket could not be opened (Error): the exchange goes on without
  // it. Told once per exchange.
  TSNTPError OnListenUnavailable;
  // Each step and each datagram refused, with the reason.
  TTraceEvent OnTrace;

 private:
  enum TAttemptState : uint8_t {
    asWaiting,  // not asked yet
    asAsked,    // its request went out; its reply is awaited
    asOver,     // nothing more is awaited from it
  };

  // One address of the server and what was sent to it.
  struct TAttempt {
    std::string Address;   // dotted
    TSentRequest Request;  // ServerAddress 0: "127.0.0.1" asked unresolved
    int64_t SentMicroseconds = 0;
    TAttemptState State = asWaiting;
    uint16_t SocketError = 0;  // the failure that ended it, if any
  };

  void PreparePorts();
  TDatagramPort& SendSocketFor(size_t attempt);
  void ClosePorts();
  void StartNameLookup();
  void HandleNameFound(uint16_t error, const std::vector<std::string>& addresses);
  void CancelNameLookup();
  void TakeAddresses(const std::vector<std::string>& texts);
  void TakeLoopbackUnresolved();
  void StartExchange();
  void OpenListener();
  void AskNextAddress();
  bool Ask(size_t index);
  void EndAttempt(size_t index, uint16_t socketError);
  void EndIfNothingAwaited();
  void FinishWithout(const char* why);
  void ArmTimer();
  void HandleTick();
  int64_t MicrosecondsSince(int64_t start) const;

  void HandleDatagram(TDatagramPort& port, size_t attempt, uint16_t error);
  void ReadDatagram(TDatagramPort& port, size_t attempt, uint16_t error);
  size_t AttemptOf(uint32_t source, const TPacket& raw) const;
  void TakeReply(size_t index, const TPacket& raw, double roundTripMs, uint16_t error);
  void TakeKissOfDeath(size_t index, const TPacket& raw);
  void HandleSendSocketError(size_t attempt, uint16_t error, const std::string& text);
  void HandleListenError(uint16_t error, const std::string& text);
  void Trace(const std::string& text);

  // The exchange's timer. Without one (it could not be made) the client
  // still works: the next address is then asked only when one is known
  // dead, and a caller's own deadline calls HandleTimeout.
  void CreateTimer();
  void DisableTimer();

  TClientPlatform& platform_;
  TServerHoldBack& holdBack_;
  TSNTPReply reply_;
  TPacket rawReply_{};
  int32_t roundTrip_ = 0;
  bool received_ = false;
  // From the start of the exchange until an outcome was fired.
  bool running_ = false;
  // The server's name is being looked up: no request has gone out yet.
  bool resolving_ = false;
  uint16_t lookupError_ = 0;  // why the lookup could not start
  std::vector<TAttempt> attempts_;
  size_t nextAttempt_ = 0;
  // Inside Ask: a failure its socket reports at once only ends the attempt,
  // and Ask's caller moves on.
  bool asking_ = false;
  int64_t exchangeStart_ = 0;  // on the platform's counter, microseconds
  int64_t lastAsked_ = 0;
  // ListenSocket was opened in this exchange, and reported a failure.
  bool listenerTried_ = false;
  bool listenerLost_ = false;
  std::string hostAddr_;
  std::string hostPort_ = "123";
  std::string listenPort_ = "123";
  int32_t timeout_ = 500;
  uint32_t serverAddress_ = 0;
  std::string serverIp_;
  std::string localIp_;
  bool created_ = false;
  // One per address asked, by its attempt's index; the first one is made
  // with ListenSocket and also looks the name up.
  std::vector<std::unique_ptr<TDatagramPort>> sendSockets_;
  std::unique_ptr<TDatagramPort> listenSocket_;
  std::unique_ptr<TExchangeTimer> timer_;
};

// The client as the library creates it.
class TSNTP : public TSNTPClient {
 public:
  using TSNTPClient::TSNTPClient;
};

}  // namespace sntp
