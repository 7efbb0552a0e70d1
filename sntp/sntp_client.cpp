#include "sntp/sntp_client.h"

#include <ntsecapi.h>

#include <cstring>
#include <string_view>

#include "sntp/exchange_timer.h"
#include "sntp/ntp_time.h"
#include "sntp/socket/resolve.h"
#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/text_rules.h"

namespace sntp {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kNoAddress = "0.0.0.0";
constexpr uint8_t kLoopbackBytes[4] = {127, 0, 0, 1};

// Trace texts of the client; nothing reads them.
void DebugTrace(std::string_view Text, std::string_view Detail = {}) {}

template <typename Event, typename... Args>
void Fire(const Event& Handler, Args... Arguments) {
  if (Handler) Handler(Arguments...);
}

uint32_t PlatformTickCount() { return static_cast<uint32_t>(GetTickCount()); }

uint64_t PlatformRandomStamp() {
  uint64_t stamp = 0;
  if (RtlGenRandom(&stamp, sizeof stamp)) return stamp;
  // No random numbers to be had: the performance counter differs from one
  // request to the next, which is all the matching needs.
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull;
}

// An IPv4 address in network byte order as dotted decimal text.
std::string DottedAddress(uint32_t NetworkOrder) {
  uint8_t bytes[4];
  std::memcpy(bytes, &NetworkOrder, sizeof bytes);
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(bytes[i]);
  }
  return text;
}

uint32_t LoopbackAddress() {
  uint32_t address;
  std::memcpy(&address, kLoopbackBytes, sizeof address);
  return address;
}

}  // namespace

TSNTPClient::TSNTPClient(TComponent* Owner, TimerClock& Clock)
    : TComponent(Owner), TickCount(PlatformTickCount), RequestStamps(PlatformRandomStamp), TimerClockSource(Clock) {}

TSNTPClient::~TSNTPClient() {
  // The sockets and the timer belong to no other component, so they go
  // with the client; their handlers point at it.
  try {
    ReleaseResources();
  } catch (...) {
  }
}

void TSNTPClient::Query() {
  PrepareSockets();
  ServerIPValue = kNoAddress;
  ReceivedValue = false;
  const std::vector<std::string>& addresses = GetLocalAddresses();
  LocalIPValue = addresses.empty() ? kLoopback : addresses.front();
  // The time-out bounds the whole query, a name lookup included.
  EnableTimer();
  // With no network the server is not looked up at all.
  if (LocalIPValue != kLoopback && NeedsNameLookup(HostAddrValue)) return StartNameLookup();
  if (LocalIPValue != kLoopback) ResolveServerAddress(HostAddrValue);
  StartExchangeIfResolved();
}

void TSNTPClient::PrepareSockets() {
  if (Created) {
    CancelNameLookup();
    CloseSockets();
    CreateTimer();  // when an earlier Query could not make it
    DisableTimer();
  } else {
    CreateSockets();
    CreateTimer();
    DisableTimer();
    DebugTrace("SNTP > Timer and Sockets are created");
    Created = true;
  }
  for (TWSocket* socket : {SendSocket.get(), ListenSocket.get()}) {
    socket->OnDataAvailable = [this](TComponent* Sender, uint16_t Error) { HandleDatagram(Sender, Error); };
    socket->OnError = [this](TComponent* Sender) { HandleSocketError(Sender); };
  }
  SendSocket->OnDnsLookupDone = [this](TComponent*, uint16_t Error) { HandleLookupDone(Error); };
}

void TSNTPClient::CreateSockets() {
  SendSocket = std::make_unique<TWSocket>();
  ListenSocket = std::make_unique<TWSocket>();
}

void TSNTPClient::CloseSockets() {
  if (SendSocket) SendSocket->Close();
  if (ListenSocket) ListenSocket->Close();
}

// A dotted address, or a text that names no server: no name service is
// asked, so nothing waits here. A failure leaves ServerIP "0.0.0.0".
void TSNTPClient::ResolveServerAddress(const std::string& Text) {
  // A text of blanks names no server; left to the name service it would be
  // taken for this host.
  if (TrimBlanksAndControls(Text).empty()) return;
  try {
    TakeServerAddress(WSocketResolveHost(Text));
  } catch (...) {
    ServerIPValue = kNoAddress;
  }
}

// The lookup completes through SendSocket's window, while the caller's
// thread dispatches its messages; it cannot start without that window.
void TSNTPClient::StartNameLookup() {
  Resolving = true;
  try {
    SendSocket->DnsLookup(TrimBlanksAndControls(HostAddrValue));
  } catch (...) {
    // Winsock could not be had: raised out of Query like any such failure.
    Resolving = false;
    DisableTimer();
    throw;
  }
  if (Resolving && !SendSocket->LookupPending()) {
    // It could not start, and the socket reported why (OnWinsockError).
    Resolving = false;
    DisableTimer();
  }
}

void TSNTPClient::HandleLookupDone(uint16_t Error) {
  if (!Resolving) return;  // cancelled: the query it belonged to is over
  Resolving = false;
  // The result is a dotted address.
  if (Error == 0) ResolveServerAddress(SendSocket->DnsResult());
  StartExchangeIfResolved();
}

void TSNTPClient::CancelNameLookup() {
  if (!Resolving) return;
  Resolving = false;  // first: the cancellation reports back to HandleLookupDone
  SendSocket->CancelDnsLookup();
}

// A query of the loopback address goes to this host's own network address.
void TSNTPClient::TakeServerAddress(uint32_t Address) {
  ServerAddressValue = Address == LoopbackAddress() ? WSocketResolveHost(LocalIPValue) : Address;
  ServerIPValue = DottedAddress(ServerAddressValue);
}

void TSNTPClient::StartExchangeIfResolved() {
  if (ServerIPValue == kNoAddress && HostAddrValue != LocalIPValue) {
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
  if (ServerIPValue != kNoAddress || HostAddrValue == kLoopback) {
    ListenForReplies();
    ConnectAndSend();
  } else {
    DisableTimer();
    ReceivedValue = false;
  }
}

void TSNTPClient::ListenForReplies() {
  ListenSocket->Close();
  ListenSocket->SetAddr(kNoAddress);
  ListenSocket->SetPort(ListenPortValue);
  ListenSocket->SetProto("udp");
  DebugTrace("SNTP > listening");
  ListenSocket->Listen();
}

void TSNTPClient::ConnectAndSend() {
  const std::string& destination = ServerIPValue != kNoAddress ? ServerIPValue : HostAddrValue;
  SendSocket->Close();
  SendSocket->SetAddr(destination);
  SendSocket->SetPort(HostPortValue);
  SendSocket->SetProto("udp");
  DebugTrace("SNTP > connecting ", destination);
  SendSocket->Connect();
  DebugTrace("SNTP > sending");
  SendRequest();
}

void TSNTPClient::SendRequest() {
  SentRequest.Stamp = RequestStamps();
  if (SentRequest.Stamp == 0) SentRequest.Stamp = 1;  // a server that copies nothing leaves zero
  const TPacket request = BuildRequest(SentRequest.Stamp);
  SendTick = TickCount();
  SendSocket->Send(request.data(), static_cast<int>(request.size()));
}

void TSNTPClient::HandleDatagram(TComponent* Sender, uint16_t Error) {
  try {
    ReadDatagram(*static_cast<TCustomWSocket*>(Sender), Error);
  } catch (...) {
    // Nothing goes back into the socket's dispatch.
    try {
      CloseSockets();
      Fire(OnReceiveError, this);
    } catch (...) {
    }
  }
}

void TSNTPClient::ReadDatagram(TCustomWSocket& Socket, uint16_t Error) {
  ReceiveTick = TickCount();
  if (Socket.State() != wsConnected) return;
  TPacket raw{};
  sockaddr_in source{};
  int sourceLength = sizeof source;
  const int length = Socket.ReceiveFrom(raw.data(), static_cast<int>(raw.size()), source, sourceLength);
  // A reply that is right in size and source but not to be believed is
  // dropped, and the exchange waits on for a good one.
  const bool taken = length == static_cast<int>(kPacketSize) && IsFromServer(source);
  if (taken && IsRefused(raw)) return;
  DisableTimer();
  ReceivedValue = true;
  DebugTrace("SNTP > received");
  if (taken) AcceptReply(raw, Error);
}

// Asked on this host, ListenSocket hears the request itself: it is refused
// as not a server's reply.
bool TSNTPClient::IsRefused(const TPacket& Raw) const {
  const TReplyRefusal refusal = CheckReply(Raw, SentRequest);
  if (refusal == rrAcceptable) return false;
  DebugTrace("SNTP > reply ignored: ", ReplyRefusalText(refusal));
  return true;
}

bool TSNTPClient::IsFromServer(const sockaddr_in& Source) const {
  const uint32_t address = Source.sin_addr.s_addr;
  return address == ServerAddressValue || address == LoopbackAddress();
}

void TSNTPClient::AcceptReply(const TPacket& Raw, uint16_t Error) {
  RawReplyValue = Raw;
  DecodeReply(Raw, ReplyValue);
  CloseSockets();
  RoundTripValue = RoundTripMilliseconds(SendTick, ReceiveTick);
  if (RoundTripValue > TimeoutValue) return;  // late: no event
  ReplyValue.ServerTime =
      ServerTimeAtArrival(ReplyValue.ReceiveTimestamp, ReplyValue.TransmitTimestamp, RoundTripValue);
  ReplyValue.InvalidReply = IsInvalidReply(Raw);
  Fire(OnDataAvailable, static_cast<TComponent*>(this), Error);
}

void TSNTPClient::HandleTimeout(TComponent* Sender) {
  DebugTrace("SNTP > timeout");
  if (ReceivedValue) return;
  DisableTimer();
  if (Resolving) {
    CancelNameLookup();
    Fire(OnResolveError, static_cast<TComponent*>(this));
    return;
  }
  CloseSockets();
  Fire(OnTimeout, static_cast<TComponent*>(this));
}

void TSNTPClient::HandleSocketError(TComponent* Sender) {
  const auto* socket = static_cast<const TCustomWSocket*>(Sender);
  Fire(OnWinsockError, static_cast<TComponent*>(this), static_cast<uint16_t>(socket->LastError() & 0xFFFF));
}

void TSNTPClient::ReleaseResources() {
  DebugTrace("SNTP > unload winsock...");
  if (Created) {
    CancelNameLookup();
    CloseSockets();
    DisableTimer();
  }
  FreeTimer();
  SendSocket.reset();
  ListenSocket.reset();
  Created = false;
  DebugTrace("SNTP > done.");
}

// The timer's interval is taken only when it is created, so a later change
// of Timeout does not reach it. Its ticks reach HandleTimeout in the
// sockets' thread.
void TSNTPClient::CreateTimer() {
  if (Timer) return;
  try {
    Timer = std::make_unique<TExchangeTimer>(TimerClockSource, TimeoutValue, [this] { HandleTimeout(nullptr); });
  } catch (...) {
    // No window or no threads for it: the exchange goes on without a timer.
  }
}

void TSNTPClient::EnableTimer() {
  if (Timer) Timer->Enable();
}

void TSNTPClient::DisableTimer() {
  if (Timer) Timer->Disable();
}

// Ends the timer's threads before its window goes.
void TSNTPClient::FreeTimer() { Timer.reset(); }

}  // namespace sntp
