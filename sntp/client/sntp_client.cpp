#include "sntp/client/sntp_client.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "sntp/client/ntp_time.h"
#include "sntp/common/failure_text.h"
#include "sntp/common/text_rules.h"

namespace sntp {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kNoAddress = "0.0.0.0";
constexpr size_t kNoAttempt = static_cast<size_t>(-1);
// Windows' answer, on the next read, to a datagram whose destination port
// was closed (an ICMP port unreachable).
constexpr uint16_t kConnectionReset = 10054;

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

// Marks the client inside Ask for as long as it lives.
class TAskingScope {
 public:
  explicit TAskingScope(bool& asking) : asking_(asking) { asking_ = true; }
  ~TAskingScope() { asking_ = false; }
  TAskingScope(const TAskingScope&) = delete;
  TAskingScope& operator=(const TAskingScope&) = delete;

 private:
  bool& asking_;
};

// A socket's report on one line, or its bare code where it said nothing.
std::string OneLine(const std::string& text, uint16_t error) {
  if (text.empty()) return "Winsock error " + std::to_string(error);
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      line += ": ";
    } else if (c != '\r') {
      line += c;
    }
  }
  return line;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + text;
  return joined;
}

}  // namespace

TSNTPClient::TSNTPClient(TClientPlatform& platform, TServerHoldBack& holdBack)
    : platform_(platform), holdBack_(holdBack) {}

TSNTPClient::~TSNTPClient() {
  BeginDestroying();
  // The ports and the timer belong to no other component, so they go with
  // the client; their handlers point at it. Nothing may leave a destructor,
  // and a client being destroyed tells nothing more.
  try {
    ReleaseResources();
  } catch (...) {
  }
}

double TSNTPClient::OffsetFromLocalTime() const {
  return reply_.ServerTime - EncodeDayCount(platform_.LocalNow());
}

// ---- the exchange ----

void TSNTPClient::Query() {
  PreparePorts();
  // Nothing of the previous query's server is kept: a reply from it would
  // pass for this one's.
  serverAddress_ = 0;
  serverIp_ = kNoAddress;
  received_ = false;
  attempts_.clear();
  nextAttempt_ = 0;
  listenerTried_ = listenerLost_ = false;
  const std::vector<std::string> addresses = platform_.LocalAddresses();
  localIp_ = addresses.empty() ? kLoopback : addresses.front();
  running_ = true;
  exchangeStart_ = lastAsked_ = platform_.CounterMicroseconds();
  // The time-out bounds the whole query, a name lookup included.
  ArmTimer();
  if (localIp_ == kLoopback) {
    // With no network the server is not looked up at all.
    if (hostAddr_ == kLoopback) TakeLoopbackUnresolved();
  } else if (NeedsNameLookup(hostAddr_)) {
    return StartNameLookup();
  } else {
    TakeAddresses({hostAddr_});
  }
  StartExchange();
}

void TSNTPClient::PreparePorts() {
  if (created_) {
    CancelNameLookup();
    ClosePorts();
    CreateTimer();  // when an earlier Query could not make it
    DisableTimer();
    return;
  }
  SendSocketFor(0).OnNameFound = [this](uint16_t error, const std::vector<std::string>& addresses) {
    HandleNameFound(error, addresses);
  };
  listenSocket_ = platform_.CreatePort();
  listenSocket_->OnDatagram = [this](uint16_t error) { HandleDatagram(*listenSocket_, kNoAttempt, error); };
  listenSocket_->OnError = [this](uint16_t error, const std::string& text) { HandleListenError(error, text); };
  CreateTimer();
  DisableTimer();
  Trace("SNTP > Timer and Sockets are created");
  created_ = true;
}

// Made when its address is first asked, and kept for the next queries.
TDatagramPort& TSNTPClient::SendSocketFor(size_t attempt) {
  while (sendSockets_.size() <= attempt) {
    const size_t index = sendSockets_.size();
    sendSockets_.push_back(platform_.CreatePort());
    TDatagramPort& port = *sendSockets_.back();
    port.OnDatagram = [this, &port, index](uint16_t error) { HandleDatagram(port, index, error); };
    port.OnError = [this, index](uint16_t error, const std::string& text) { HandleSendSocketError(index, error, text); };
  }
  return *sendSockets_[attempt];
}

void TSNTPClient::ClosePorts() {
  for (const auto& port : sendSockets_) port->Close();
  if (listenSocket_) listenSocket_->Close();
}

// Each distinct address, up to kMostAddresses, in the order given; a text
// that is no address names no server. A query of the loopback address goes
// to this host's own network address.
void TSNTPClient::TakeAddresses(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    if (attempts_.size() == kMostAddresses) break;
    // A text of blanks names no server; left to the name service it would
    // be taken for this host.
    if (TrimBlanksAndControls(text).empty()) continue;
    uint32_t address = 0;
    try {
      address = platform_.ResolveAddress(text);
      if (address == LoopbackAddress()) address = platform_.ResolveAddress(localIp_);
    } catch (const std::exception&) {
      continue;
    }
    const auto asked = [address](const TAttempt& attempt) { return attempt.Request.ServerAddress == address; };
    if (std::any_of(attempts_.begin(), attempts_.end(), asked)) continue;
    attempts_.push_back({DottedAddress(address), {0, address, timeout_}});
  }
  if (attempts_.empty()) return;
  serverAddress_ = attempts_.front().Request.ServerAddress;
  serverIp_ = attempts_.front().Address;
}

// Without a network "127.0.0.1" is asked as it stands, resolving nothing:
// only a reply from 127.0.0.1 is its answer.
void TSNTPClient::TakeLoopbackUnresolved() { attempts_.push_back({kLoopback, {0, 0, timeout_}}); }

void TSNTPClient::StartExchange() {
  if (attempts_.empty()) {
    running_ = false;
    DisableTimer();
    Trace("SNTP > no address for " + hostAddr_);
    Fire(OnResolveError, static_cast<TComponent*>(this));
    return;
  }
  AskNextAddress();
}

// Once per exchange, with its first request: a query that sends nothing
// listens for nothing.
void TSNTPClient::OpenListener() {
  if (listenerTried_) return;
  listenerTried_ = true;
  Trace("SNTP > listening");
  listenSocket_->Listen(listenPort_);
}

// Asks the next address that may be asked: one held back, or whose socket
// fails at once, passes the turn on at once.
void TSNTPClient::AskNextAddress() {
  // Nothing is asked once the exchange's time is over.
  if (running_ && MicrosecondsSince(exchangeStart_) >= int64_t{timeout_} * 1000) return HandleTimeout(nullptr);
  while (running_ && nextAttempt_ < attempts_.size()) {
    const size_t attempt = nextAttempt_++;
    if (Ask(attempt)) {
      lastAsked_ = attempts_[attempt].SentMicroseconds;
      ArmTimer();
      return;
    }
  }
  EndIfNothingAwaited();
  ArmTimer();
}

// False when the address was not asked (held back) or its socket failed.
bool TSNTPClient::Ask(size_t index) {
  TAttempt& attempt = attempts_[index];
  if (const std::optional<std::string> reason = holdBack_.Refusal(attempt.Address)) {
    attempt.State = asOver;
    Fire(OnHeldBack, static_cast<TComponent*>(this), *reason);
    return false;
  }
  OpenListener();
  attempt.State = asAsked;
  const TAskingScope asking(asking_);
  TDatagramPort& port = SendSocketFor(index);
  Trace("SNTP > connecting " + attempt.Address);
  port.Connect(attempt.Address, hostPort_);
  if (attempt.State == asAsked) {
    attempt.Request.Stamp = platform_.RandomStamp();
    if (attempt.Request.Stamp == 0) attempt.Request.Stamp = 1;  // a server that copies nothing leaves zero
    attempt.Request.TimeoutMs = timeout_;
    attempt.SentMicroseconds = platform_.CounterMicroseconds();
    Trace("SNTP > sending");
    port.Send(BuildRequest(attempt.Request.Stamp));
  }
  return attempt.State == asAsked;  // else its socket reported a failure
}

// Nothing more is awaited from the attempt. When it was the last address
// asked, the next one's turn comes now rather than at its step.
void TSNTPClient::EndAttempt(size_t index, uint16_t socketError) {
  TAttempt& attempt = attempts_[index];
  if (attempt.State != asAsked) return;
  attempt.State = asOver;
  attempt.SocketError = socketError;
  if (asking_) return;
  if (index + 1 == nextAttempt_) {
    AskNextAddress();
  } else {
    EndIfNothingAwaited();
  }
}

// Every address asked is over and none is left to ask: no reply can come.
// Where each failed with a socket error, that is the outcome.
void TSNTPClient::EndIfNothingAwaited() {
  if (!running_ || resolving_ || nextAttempt_ < attempts_.size()) return;
  const auto awaited = [](const TAttempt& attempt) { return attempt.State == asAsked; };
  if (std::any_of(attempts_.begin(), attempts_.end(), awaited)) return;
  const auto failed = [](const TAttempt& attempt) { return attempt.SocketError != 0; };
  if (!attempts_.empty() && std::all_of(attempts_.begin(), attempts_.end(), failed)) {
    running_ = false;
    DisableTimer();
    ClosePorts();
    Trace("SNTP > every address failed");
    Fire(OnWinsockError, static_cast<TComponent*>(this), attempts_.back().SocketError);
    return;
  }
  FinishWithout("no address left to ask");
}

// Ends the exchange without a reply: OnTimeout.
void TSNTPClient::FinishWithout(const char* why) {
  running_ = false;
  DisableTimer();
  ClosePorts();
  Trace(std::string("SNTP > ") + why);
  Fire(OnTimeout, static_cast<TComponent*>(this));
}

// ---- the clock of the exchange ----

// Set for what is due next: the next address's turn, or the end.
void TSNTPClient::ArmTimer() {
  if (!timer_ || !running_) return;
  int64_t due = exchangeStart_ + int64_t{timeout_} * 1000;
  if (!resolving_ && nextAttempt_ < attempts_.size()) due = std::min(due, lastAsked_ + int64_t{kAddressStepMs} * 1000);
  const int64_t waitMs = (due - platform_.CounterMicroseconds() + 999) / 1000;
  timer_->Enable(static_cast<int32_t>(std::clamp<int64_t>(waitMs, 1, INT32_MAX)));
}

void TSNTPClient::HandleTick() {
  if (!running_) return;
  if (MicrosecondsSince(exchangeStart_) >= int64_t{timeout_} * 1000) return HandleTimeout(nullptr);
  const bool turnPassed = MicrosecondsSince(lastAsked_) >= int64_t{kAddressStepMs} * 1000;
  if (!resolving_ && nextAttempt_ < attempts_.size() && turnPassed) {
    Trace("SNTP > no reply from " + attempts_[nextAttempt_ - 1].Address + " yet: asking the next address");
    return AskNextAddress();
  }
  ArmTimer();
}

int64_t TSNTPClient::MicrosecondsSince(int64_t start) const { return platform_.CounterMicroseconds() - start; }

void TSNTPClient::HandleTimeout(TComponent* sender) {
  if (!running_) return;
  if (resolving_) {
    running_ = false;
    DisableTimer();
    CancelNameLookup();
    Trace("SNTP > timeout: the name " + TrimBlanksAndControls(hostAddr_) + " was not found in time");
    Fire(OnResolveError, static_cast<TComponent*>(this));
    return;
  }
  FinishWithout("timeout: no reply from any address");
}

// ---- the name lookup ----

// The lookup completes through SendSocket while the caller's thread
// dispatches its messages.
void TSNTPClient::StartNameLookup() {
  resolving_ = true;
  const std::string name = TrimBlanksAndControls(hostAddr_);
  Trace("SNTP > looking up " + name);
  try {
    SendSocketFor(0).LookupName(name);
  } catch (const std::exception&) {
    // Winsock could not be had: raised out of Query like any such failure,
    // the exchange over.
    resolving_ = running_ = false;
    DisableTimer();
    throw;
  }
  if (resolving_ && !SendSocketFor(0).LookupPending()) {
    // It could not start, and the port told why (HandleSendSocketError).
    resolving_ = running_ = false;
    DisableTimer();
    Fire(OnWinsockError, static_cast<TComponent*>(this), lookupError_);
  }
}

void TSNTPClient::HandleNameFound(uint16_t error, const std::vector<std::string>& addresses) {
  if (!resolving_) return;  // cancelled: the query it belonged to is over
  resolving_ = false;
  const std::string name = TrimBlanksAndControls(hostAddr_);
  if (error != 0) {
    Trace("SNTP > lookup of " + name + " failed: Winsock error " + std::to_string(error));
  } else {
    Trace("SNTP > " + name + " has the addresses " + Joined(addresses));
    TakeAddresses(addresses);
  }
  StartExchange();
}

void TSNTPClient::CancelNameLookup() {
  if (!resolving_) return;
  resolving_ = false;  // first: the cancellation reports back to HandleNameFound
  SendSocketFor(0).CancelLookup();
}

// ---- datagrams ----

// The port's notification is a boundary: a failure in handling the
// datagram ends the exchange with OnReceiveError and goes no further.
void TSNTPClient::HandleDatagram(TDatagramPort& port, size_t attempt, uint16_t error) {
  try {
    ReadDatagram(port, attempt, error);
  } catch (...) {
    const std::string why = CaughtFailureText();
    running_ = false;
    DisableTimer();
    ClosePorts();
    Trace("SNTP > handling a datagram failed: " + why);
    Fire(OnReceiveError, static_cast<TComponent*>(this));
  }
}

// Attempt is the one whose socket the datagram came to; kNoAttempt for
// ListenSocket, where its sender tells whose reply it is.
void TSNTPClient::ReadDatagram(TDatagramPort& port, size_t attempt, uint16_t error) {
  const int64_t receiveMicroseconds = platform_.CounterMicroseconds();
  if (!port.IsOpen()) return;
  TPacket raw{};
  TArrival arrival;
  uint16_t receiveError = 0;
  arrival.Length = port.Receive(raw, arrival.Source, receiveError);
  if (!running_) return;
  if (arrival.Length < 0 && receiveError == kConnectionReset && attempt != kNoAttempt) {
    Trace("SNTP > " + attempts_[attempt].Address + " has no time server (Winsock error 10054)");
    return EndAttempt(attempt, receiveError);
  }
  if (attempt == kNoAttempt) attempt = AttemptOf(arrival.Source, raw);
  if (attempt == kNoAttempt || attempts_[attempt].State != asAsked) {
    Trace("SNTP > datagram from " + DottedAddress(arrival.Source) + " ignored: no request of ours awaits it");
    return;
  }
  const double roundTripMs = RoundTripMilliseconds(attempts_[attempt].SentMicroseconds, receiveMicroseconds);
  arrival.RoundTripMs = WholeMilliseconds(roundTripMs);
  const TReplyRefusal refusal = CheckReply(raw, arrival, attempts_[attempt].Request);
  if (refusal == rrAcceptable) return TakeReply(attempt, raw, roundTripMs, error);
  if (refusal == rrKissOfDeath) return TakeKissOfDeath(attempt, raw);
  // Asked on this host, ListenSocket hears the request itself: refused like
  // any datagram that is no answer to it.
  Trace("SNTP > datagram from " + DottedAddress(arrival.Source) + " ignored: " + ReplyRefusalText(refusal));
  if (refusal == rrLate) EndAttempt(attempt, 0);
}

// The attempt whose address sent a datagram to ListenSocket. From 127.0.0.1
// (a query of this host) it is the one whose request the datagram answers,
// or the first.
size_t TSNTPClient::AttemptOf(uint32_t source, const TPacket& raw) const {
  size_t found = kNoAttempt;
  for (size_t i = 0; i < attempts_.size() && i < nextAttempt_; ++i) {
    const TSentRequest& request = attempts_[i].Request;
    if (request.ServerAddress == source) return i;
    if (source != LoopbackAddress()) continue;
    if (OriginateStampOf(raw) == request.Stamp) return i;
    if (found == kNoAttempt) found = i;
  }
  return found;
}

void TSNTPClient::TakeReply(size_t index, const TPacket& raw, double roundTripMs, uint16_t error) {
  const TAttempt& attempt = attempts_[index];
  running_ = false;
  DisableTimer();
  received_ = true;
  rawReply_ = raw;
  DecodeReply(raw, reply_);
  ClosePorts();
  roundTrip_ = WholeMilliseconds(roundTripMs);
  if (attempt.Request.ServerAddress != 0) {
    serverAddress_ = attempt.Request.ServerAddress;
    serverIp_ = attempt.Address;
  }
  // The round trip as measured, below the millisecond: in whole milliseconds
  // it would put the server's time up to half of one off.
  reply_.ServerTime = ServerTimeAtArrival(reply_.ReceiveTimestamp, reply_.TransmitTimestamp, roundTripMs);
  reply_.InvalidReply = IsInvalidReply(raw);
  holdBack_.TakeGoodReply(attempt.Address);
  Trace(kReplyTakenTrace + attempt.Address + " taken, round trip " + std::to_string(roundTrip_) + " ms");
  Fire(OnDataAvailable, static_cast<TComponent*>(this), error);
}

// The server answered, but asks not to be asked (so often): no time to take
// from it, and the next address's turn comes now.
void TSNTPClient::TakeKissOfDeath(size_t index, const TPacket& raw) {
  const std::string reason = holdBack_.TakeKiss(attempts_[index].Address, KissCodeOf(raw));
  Fire(OnHeldBack, static_cast<TComponent*>(this), reason);
  EndAttempt(index, 0);
}

// ---- failures ----

// A failure while the name is looked up is the lookup's; one of an asked
// address's socket ends that address's attempt.
void TSNTPClient::HandleSendSocketError(size_t attempt, uint16_t error, const std::string& text) {
  if (resolving_ && attempt == 0) {
    Trace("SNTP > the lookup of " + TrimBlanksAndControls(hostAddr_) + " could not start: " + OneLine(text, error));
    lookupError_ = error;
    return;
  }
  if (!running_ || attempt >= attempts_.size()) return;
  Trace("SNTP > " + attempts_[attempt].Address + ": " + OneLine(text, error));
  EndAttempt(attempt, error);
}

// The reply comes to the sending socket's own port anyway: a listener that
// cannot be had (its port held by another program, or refused) costs
// nothing but the second way in.
void TSNTPClient::HandleListenError(uint16_t error, const std::string& text) {
  if (listenerLost_) return;
  listenerLost_ = true;
  Trace("SNTP > listening on port " + listenPort_ + ": " + OneLine(text, error));
  Fire(OnListenUnavailable, static_cast<TComponent*>(this), error);
}

void TSNTPClient::Trace(const std::string& text) {
  if (!Destroying()) Fire(OnTrace, static_cast<TComponent*>(this), text);
}

// ---- resources ----

void TSNTPClient::ReleaseResources() {
  Trace("SNTP > unload winsock...");
  if (created_) {
    CancelNameLookup();
    ClosePorts();
    DisableTimer();
  }
  running_ = false;
  // The timer first: its ticks reach the client.
  timer_.reset();
  sendSockets_.clear();
  listenSocket_.reset();
  created_ = false;
  Trace("SNTP > done.");
}

void TSNTPClient::CreateTimer() {
  if (timer_) return;
  try {
    timer_ = platform_.CreateTimer([this] { HandleTick(); });
  } catch (const std::exception& failure) {
    // No window or no threads for it: the exchange goes on without a timer.
    Trace(std::string("SNTP > no timer for the exchange: ") + failure.what());
  }
}

void TSNTPClient::DisableTimer() {
  if (timer_) timer_->Disable();
}

}  // namespace sntp
