#pragma once
// TSNTPClient asks one time server for the current time with a single SNTP
// exchange over UDP: a 48-byte request out, a 48-byte reply back. It is
// event-driven: Query starts the exchange and returns; the outcome arrives
// through the events while the calling thread dispatches its messages.
//
// Two ports take part: SendSocket sends the request and receives the reply
// on a port the system picks; ListenSocket listens on local port ListenPort
// ("123") of all interfaces during the exchange. A datagram on either one is
// handled the same way. The listener is a second way in, never a condition:
// where another program holds the port (Windows' time service does) the
// exchange goes on over SendSocket alone. The ports, the timer and the
// clocks come from the platform the client is given, so the client makes no
// platform call.
//
// A kiss-o'-death that answers the request ends the exchange, and the
// hold-back record the client is given keeps the server from being asked
// again too soon, or at all; a server held back is not sent anything.
#include <cstdint>
#include <memory>
#include <string>

#include "sntp/client_platform.h"
#include "sntp/component.h"
#include "sntp/reply_checks.h"
#include "sntp/server_hold_back.h"
#include "sntp/sntp_packet.h"

namespace sntp {

using TSNTPError = TErrorCodeEvent;
// The client's reason, as the log says it.
using THeldBackEvent = std::function<void(TComponent* sender, const std::string& reason)>;

class TSNTPClient : public TComponent {
 public:
  // Platform and HoldBack outlive the client.
  TSNTPClient(TClientPlatform& platform, TServerHoldBack& holdBack, TComponent* owner = nullptr);
  ~TSNTPClient() override;

  // The server: a dotted IPv4 address or a host name.
  const std::string& HostAddr() const { return hostAddr_; }
  void SetHostAddr(const std::string& value) { hostAddr_ = value; }
  // The server's UDP port: a number or a service name.
  const std::string& HostPort() const { return hostPort_; }
  void SetHostPort(const std::string& value) { hostPort_ = value; }
  const std::string& ListenPort() const { return listenPort_; }
  void SetListenPort(const std::string& value) { listenPort_ = value; }
  // The longest round trip accepted, in milliseconds; 0 or less stores 0.
  int32_t Timeout() const { return timeout_; }
  void SetTimeout(int32_t value) { timeout_ = value > 0 ? value : 0; }

  // The last reply taken: decoded, and as received.
  const TSNTPReply& Reply() const { return reply_; }
  const TPacket& RawReply() const { return rawReply_; }
  int32_t RoundTrip() const { return roundTrip_; }
  bool Received() const { return received_; }
  // The server this query resolved; ServerAddress 0 and ServerIP "0.0.0.0"
  // mean not resolved.
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
  // Ends an exchange in which nothing was received (Sender is ignored): one
  // still waiting for its server's address fires OnResolveError, any other
  // OnTimeout.
  void HandleTimeout(TComponent* sender);
  // Closes and frees both ports and the timer.
  void ReleaseResources();

  TDataAvailable OnDataAvailable;  // a reply was accepted in time and decoded
  TNotifyEvent OnTimeout;          // the time ran out with nothing received
  TSNTPError OnWinsockError;       // a port reported a failure
  TNotifyEvent OnResolveError;     // the server's address was not found in time
  TNotifyEvent OnReceiveError;     // handling a datagram failed
  // The server asks not to be asked: nothing was sent to it, or its
  // kiss-o'-death ended the exchange.
  THeldBackEvent OnHeldBack;
  // ListenSocket could not be opened (Error): the exchange goes on over
  // SendSocket alone. Told once per exchange.
  TSNTPError OnListenUnavailable;

 protected:
  // The handlers of both ports' notifications.
  void HandleDatagram(TDatagramPort& sender, uint16_t error);
  void HandleSocketError(uint16_t error);
  void HandleListenError(uint16_t error);

 private:
  void PreparePorts();
  void ClosePorts();
  void ResolveServerAddress(const std::string& text);
  void StartNameLookup();
  void HandleNameFound(uint16_t error, const std::string& address);
  void CancelNameLookup();
  void TakeServerAddress(uint32_t address);
  void StartExchangeIfResolved();
  void StartExchange();
  bool HoldsBack();
  void SendRequest();
  void ReadDatagram(TDatagramPort& port, uint16_t error);
  void EndExchangeOn(const TPacket& raw);
  void TakeReply(const TPacket& raw, TReplyRefusal refusal, double roundTripMs, uint16_t error);
  void TakeKissOfDeath(const TPacket& raw);

  // The exchange's timer. Without one (it could not be made) the client
  // still works: a caller's own deadline calls HandleTimeout, which ends an
  // unanswered exchange alike.
  void CreateTimer();
  void EnableTimer();
  void DisableTimer();

  TClientPlatform& platform_;
  TServerHoldBack& holdBack_;
  TSNTPReply reply_;
  TPacket rawReply_{};
  int32_t roundTrip_ = 0;
  bool received_ = false;
  // The server's name is being looked up: no request has gone out yet.
  bool resolving_ = false;
  TSentRequest sentRequest_;
  int64_t sendMicroseconds_ = 0;
  // Where this exchange's request goes, dotted: the server it holds back.
  std::string destination_;
  // ListenSocket reported a failure in this exchange.
  bool listenerLost_ = false;
  std::string hostAddr_;
  std::string hostPort_ = "123";
  std::string listenPort_ = "123";
  int32_t timeout_ = 500;
  uint32_t serverAddress_ = 0;
  std::string serverIp_;
  std::string localIp_;
  bool created_ = false;
  std::unique_ptr<TDatagramPort> sendSocket_;
  std::unique_ptr<TDatagramPort> listenSocket_;
  std::unique_ptr<TExchangeTimer> timer_;
};

// The client as the library creates it.
class TSNTP : public TSNTPClient {
 public:
  using TSNTPClient::TSNTPClient;
};

}  // namespace sntp
