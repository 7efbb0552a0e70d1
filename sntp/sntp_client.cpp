#include "sntp/sntp_client.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "sntp/ntp_time.h"
#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/text_rules.h"

namespace sntp {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kNoAddress = "0.0.0.0";

// Trace texts of the client; nothing reads them.
void DebugTrace(std::string_view text, std::string_view detail = {}) {}

template <typename Event, typename... Args>
void Fire(const Event& handler, Args... arguments) {
  if (handler) handler(arguments...);
}

// An IPv4 address in network byte order as dotted decimal text.
std::string DottedAddress(uint32_t networkOrder) {
  uint8_t bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(bytes[i]);
  }
  return text;
}

// The round trip as the reply checks and RoundTrip count it.
int32_t WholeMilliseconds(double milliseconds) {
  return static_cast<int32_t>(std::min(std::floor(milliseconds), double{INT32_MAX}));
}

}  // namespace

TSNTPClient::TSNTPClient(TClientPlatform& platform, TServerHoldBack& holdBack, TComponent* owner)
    : TComponent(owner), platform_(platform), holdBack_(holdBack) {}

TSNTPClient::~TSNTPClient() {
  // The ports and the timer belong to no other component, so they go with
  // the client; their handlers point at it.
  try {
    ReleaseResources();
  } catch (...) {
  }
}

double TSNTPClient::OffsetFromLocalTime() const {
  return reply_.ServerTime - EncodeDayCount(platform_.LocalNow());
}

void TSNTPClient::Query() {
  PreparePorts();
  // Nothing of the previous query's server is kept: a reply from it would
  // pass for this one's.
  serverAddress_ = 0;
  serverIp_ = kNoAddress;
  received_ = false;
  const std::vector<std::string> addresses = platform_.LocalAddresses();
  localIp_ = addresses.empty() ? kLoopback : addresses.front();
  // The time-out bounds the whole query, a name lookup included.
  EnableTimer();
  // With no network the server is not looked up at all.
  if (localIp_ != kLoopback && NeedsNameLookup(hostAddr_)) return StartNameLookup();
  if (localIp_ != kLoopback) ResolveServerAddress(hostAddr_);
  StartExchangeIfResolved();
}

void TSNTPClient::PreparePorts() {
  if (created_) {
    CancelNameLookup();
    ClosePorts();
    CreateTimer();  // when an earlier Query could not make it
    DisableTimer();
    return;
  }
  sendSocket_ = platform_.CreatePort();
  listenSocket_ = platform_.CreatePort();
  for (TDatagramPort* port : {sendSocket_.get(), listenSocket_.get()}) {
    port->OnDatagram = [this, port](uint16_t error) { HandleDatagram(*port, error); };
  }
  sendSocket_->OnError = [this](uint16_t error) { HandleSocketError(error); };
  listenSocket_->OnError = [this](uint16_t error) { HandleListenError(error); };
  sendSocket_->OnNameFound = [this](uint16_t error, const std::string& address) { HandleNameFound(error, address); };
  CreateTimer();
  DisableTimer();
  DebugTrace("SNTP > Timer and Sockets are created");
  created_ = true;
}

void TSNTPClient::ClosePorts() {
  if (sendSocket_) sendSocket_->Close();
  if (listenSocket_) listenSocket_->Close();
}

// A dotted address, or a text that names no server: no name service is
// asked, so nothing waits here. A failure leaves ServerIP "0.0.0.0".
void TSNTPClient::ResolveServerAddress(const std::string& text) {
  // A text of blanks names no server; left to the name service it would be
  // taken for this host.
  if (TrimBlanksAndControls(text).empty()) return;
  try {
    TakeServerAddress(platform_.ResolveAddress(text));
  } catch (...) {
    serverIp_ = kNoAddress;
  }
}

// The lookup completes through SendSocket while the caller's thread
// dispatches its messages.
void TSNTPClient::StartNameLookup() {
  resolving_ = true;
  try {
    sendSocket_->LookupName(TrimBlanksAndControls(hostAddr_));
  } catch (...) {
    // Winsock could not be had: raised out of Query like any such failure.
    resolving_ = false;
    DisableTimer();
    throw;
  }
  if (resolving_ && !sendSocket_->LookupPending()) {
    // It could not start, and the port reported why (OnWinsockError).
    resolving_ = false;
    DisableTimer();
  }
}

void TSNTPClient::HandleNameFound(uint16_t error, const std::string& address) {
  if (!resolving_) return;  // cancelled: the query it belonged to is over
  resolving_ = false;
  if (error == 0) ResolveServerAddress(address);
  StartExchangeIfResolved();
}

void TSNTPClient::CancelNameLookup() {
  if (!resolving_) return;
  resolving_ = false;  // first: the cancellation reports back to HandleNameFound
  sendSocket_->CancelLookup();
}

// A query of the loopback address goes to this host's own network address.
void TSNTPClient::TakeServerAddress(uint32_t address) {
  serverAddress_ = address == LoopbackAddress() ? platform_.ResolveAddress(localIp_) : address;
  serverIp_ = DottedAddress(serverAddress_);
}

void TSNTPClient::StartExchangeIfResolved() {
  if (serverIp_ == kNoAddress && hostAddr_ != localIp_) {
    DisableTimer();
    Fire(OnResolveError, this);
    return;
  }
  try {
    StartExchange();
  } catch (...) {
    // A failure while starting shows only as the later time-out.
  }
}

void TSNTPClient::StartExchange() {
  if (serverIp_ == kNoAddress && hostAddr_ != kLoopback) {
    DisableTimer();
    received_ = false;
    return;
  }
  destination_ = serverIp_ != kNoAddress ? serverIp_ : hostAddr_;
  if (HoldsBack()) return;
  DebugTrace("SNTP > listening");
  listenerLost_ = false;
  listenSocket_->Listen(listenPort_);
  DebugTrace("SNTP > connecting ", destination_);
  sendSocket_->Connect(destination_, hostPort_);
  DebugTrace("SNTP > sending");
  SendRequest();
}

// A server that asked not to be asked now is sent nothing: the exchange
// ends at once rather than at its time-out.
bool TSNTPClient::HoldsBack() {
  const std::optional<std::string> reason = holdBack_.Refusal(destination_);
  if (!reason) return false;
  DisableTimer();
  Fire(OnHeldBack, static_cast<TComponent*>(this), *reason);
  return true;
}

void TSNTPClient::SendRequest() {
  sentRequest_.Stamp = platform_.RandomStamp();
  if (sentRequest_.Stamp == 0) sentRequest_.Stamp = 1;  // a server that copies nothing leaves zero
  sentRequest_.ServerAddress = serverAddress_;
  sentRequest_.TimeoutMs = timeout_;
  const TPacket request = BuildRequest(sentRequest_.Stamp);
  sendMicroseconds_ = platform_.CounterMicroseconds();
  sendSocket_->Send(request);
}

void TSNTPClient::HandleDatagram(TDatagramPort& sender, uint16_t error) {
  try {
    ReadDatagram(sender, error);
  } catch (...) {
    // Nothing goes back into the port's notification.
    try {
      ClosePorts();
      Fire(OnReceiveError, this);
    } catch (...) {
    }
  }
}

void TSNTPClient::ReadDatagram(TDatagramPort& port, uint16_t error) {
  const int64_t receiveMicroseconds = platform_.CounterMicroseconds();
  if (!port.IsOpen()) return;
  TPacket raw{};
  TArrival arrival;
  arrival.Length = port.Receive(raw, arrival.Source);
  const double roundTripMs = RoundTripMilliseconds(sendMicroseconds_, receiveMicroseconds);
  arrival.RoundTripMs = WholeMilliseconds(roundTripMs);
  const TReplyRefusal refusal = CheckReply(raw, arrival, sentRequest_);
  if (refusal == rrKissOfDeath) return TakeKissOfDeath(raw);
  if (refusal != rrAcceptable && refusal != rrLate) {
    // Asked on this host, ListenSocket hears the request itself: refused
    // like any datagram that is no answer to it.
    DebugTrace("SNTP > reply ignored: ", ReplyRefusalText(refusal));
    return;
  }
  roundTrip_ = arrival.RoundTripMs;
  TakeReply(raw, refusal, roundTripMs, error);
}

void TSNTPClient::EndExchangeOn(const TPacket& raw) {
  DisableTimer();
  received_ = true;
  DebugTrace("SNTP > received");
  rawReply_ = raw;
  DecodeReply(raw, reply_);
  ClosePorts();
}

// A late reply ends the exchange too, but fires no event.
void TSNTPClient::TakeReply(const TPacket& raw, TReplyRefusal refusal, double roundTripMs, uint16_t error) {
  EndExchangeOn(raw);
  if (refusal == rrLate) return;
  // The round trip as measured, below the millisecond: in whole milliseconds
  // it would put the server's time up to half of one off.
  reply_.ServerTime = ServerTimeAtArrival(reply_.ReceiveTimestamp, reply_.TransmitTimestamp, roundTripMs);
  reply_.InvalidReply = IsInvalidReply(raw);
  holdBack_.TakeGoodReply(destination_);
  Fire(OnDataAvailable, static_cast<TComponent*>(this), error);
}

// The server answered, but asks not to be asked (so often): no time to take,
// and nothing more to wait for.
void TSNTPClient::TakeKissOfDeath(const TPacket& raw) {
  EndExchangeOn(raw);
  const std::string reason = holdBack_.TakeKiss(destination_, KissCodeOf(raw));
  Fire(OnHeldBack, static_cast<TComponent*>(this), reason);
}

void TSNTPClient::HandleTimeout(TComponent* sender) {
  DebugTrace("SNTP > timeout");
  if (received_) return;
  DisableTimer();
  if (resolving_) {
    CancelNameLookup();
    Fire(OnResolveError, static_cast<TComponent*>(this));
    return;
  }
  ClosePorts();
  Fire(OnTimeout, static_cast<TComponent*>(this));
}

void TSNTPClient::HandleSocketError(uint16_t error) { Fire(OnWinsockError, static_cast<TComponent*>(this), error); }

// The reply comes to SendSocket's own port anyway: a listener that cannot be
// had (its port held by another program, or refused) costs nothing but the
// second way in.
void TSNTPClient::HandleListenError(uint16_t error) {
  if (listenerLost_) return;
  listenerLost_ = true;
  Fire(OnListenUnavailable, static_cast<TComponent*>(this), error);
}

void TSNTPClient::ReleaseResources() {
  DebugTrace("SNTP > unload winsock...");
  if (created_) {
    CancelNameLookup();
    ClosePorts();
    DisableTimer();
  }
  // The timer first: its ticks reach the client.
  timer_.reset();
  sendSocket_.reset();
  listenSocket_.reset();
  created_ = false;
  DebugTrace("SNTP > done.");
}

// The timer's interval is taken only when it is created, so a later change
// of Timeout does not reach it.
void TSNTPClient::CreateTimer() {
  if (timer_) return;
  try {
    timer_ = platform_.CreateTimer(timeout_, [this] { HandleTimeout(nullptr); });
  } catch (...) {
    // No window or no threads for it: the exchange goes on without a timer.
  }
}

void TSNTPClient::EnableTimer() {
  if (timer_) timer_->Enable();
}

void TSNTPClient::DisableTimer() {
  if (timer_) timer_->Disable();
}

}  // namespace sntp
