// The socket object: endpoints, opening, sending through the queue,
// receiving, closing and error reports. Its hidden window and the message
// dispatch are in socket_window.cpp, the name lookups in socket_lookup.cpp.
#include "sntp/socket/wsocket.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"
#include "sntp/win32/message_window.h"

namespace sntp {
namespace {

constexpr long kConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;  // 59
constexpr long kListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;                 // 43
constexpr long kResumeEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;                // 51
constexpr int kDrainPieceSize = 1024;
constexpr int kSockaddrInSize = sizeof(sockaddr_in);
// Flush and WaitForClose sleep between passes instead of spinning.
constexpr DWORD kWaitSliceMs = 100;
// A lingering close is tried again this often, for at most the linger time
// and never longer than kLongestLingerWaitMs.
constexpr DWORD kCloseRetryMs = 50;
constexpr int kLongestLingerWaitMs = 10000;

}  // namespace

TCustomWSocket::TCustomWSocket(TComponent* owner) : TComponent(owner), windowHandle_(CreateNotificationWindow(this)) {
  sendQueue_.SetChunkSize(sendChunkSize_);
  ResetDefaults();
  AddWinsockUser();
}

TCustomWSocket::~TCustomWSocket() {
  // Nothing may escape a destructor: a failing close or a throwing handler
  // ends here.
  try {
    CancelDnsLookup();
  } catch (...) {
  }
  try {
    if (state_ != wsClosed) Close();
  } catch (...) {
  }
  ClearSendQueue();
  RemoveWinsockUser();
}

void TCustomWSocket::ResetDefaults() {
  remoteAddress_ = sockaddr_in{};
  remoteAddress_.sin_family = AF_INET;
  addressFamily_ = AF_INET;
  portAssigned_ = addrAssigned_ = addrResolved_ = portResolved_ = protoResolved_ = localPortResolved_ = false;
  protoAssigned_ = true;
  protoNumber_ = IPPROTO_TCP;
  proto_ = "tcp";
  socketType_ = SOCK_STREAM;
  localPort_ = "0";
  lingerOnOff_ = wsLingerOn;
  lingerTimeout_ = 0;
  socketHandle_ = INVALID_SOCKET;
  state_ = wsClosed;
  allSent_ = true;
  paused_ = false;
  readCount_ = 0;
  closeNotified_ = false;
}

// ---- endpoint properties ----

bool TCustomWSocket::SetTextProperty(std::string& text, bool& assigned, bool* resolved, const std::string& value,
                                     const char* message) {
  if (assigned && value == text) return false;
  if (state_ != wsClosed) {
    ReportError(message);
    return false;
  }
  text = TrimBlanksAndControls(value);
  if (text.empty()) {
    assigned = false;
  } else {
    *resolved = false;
    assigned = true;
  }
  return true;
}

void TCustomWSocket::SetAddr(const std::string& value) {
  SetTextProperty(addr_, addrAssigned_, &addrResolved_, value, "Cannot change Addr if not closed");
}

void TCustomWSocket::SetPort(const std::string& value) {
  SetTextProperty(port_, portAssigned_, &portResolved_, value, "Cannot change Port if not closed");
}

void TCustomWSocket::SetProto(const std::string& value) {
  SetTextProperty(proto_, protoAssigned_, &protoResolved_, value, "Cannot change Proto if not closed");
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  if (state_ != wsClosed) {
    ReportError("Cannot change LocalPort if not closed");
    return;
  }
  localPort_ = value;
  localPortResolved_ = false;
}

TSocketSendFlags TCustomWSocket::SendFlags() const {
  return sendFlags_ == MSG_OOB ? wsSendUrgent : wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags value) {
  switch (value) {
    case wsSendNormal: sendFlags_ = 0; return;
    case wsSendUrgent: sendFlags_ = MSG_OOB; return;
  }
  ReportError("Invalid SendFlags");
}

// ---- reading the socket's condition ----

int TCustomWSocket::RcvdCount() {
  u_long count = 0;
  if (wsapi::ioctlsocket(socketHandle_, FIONREAD, &count) == SOCKET_ERROR) {
    ReportSocketError("ioctlSocket");
    return -1;
  }
  return static_cast<int>(count);
}

std::string TCustomWSocket::PeerAddr() {
  if (state_ != wsConnected) return "error";
  sockaddr_in peer{};
  int length = kSockaddrInSize;
  if (wsapi::getpeername(socketHandle_, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    ReportSocketError("GetPeerName");
    return "error";
  }
  return wsapi::inet_ntoa(peer.sin_addr);
}

std::string TCustomWSocket::PeerPort() {
  if (state_ != wsConnected) return "error";
  sockaddr_in peer{};
  int length = kSockaddrInSize;
  if (wsapi::getpeername(socketHandle_, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    ReportSocketError("GetPeerPort");
    return "error";
  }
  return std::to_string(wsapi::ntohs(peer.sin_port));
}

int TCustomWSocket::GetPeerName(sockaddr_in& name, int nameLen) {
  if (state_ != wsConnected) return -1;
  return wsapi::getpeername(socketHandle_, reinterpret_cast<sockaddr*>(&name), &nameLen);
}

int TCustomWSocket::GetSockName(sockaddr_in& name, int& nameLen) {
  return wsapi::getsockname(socketHandle_, reinterpret_cast<sockaddr*>(&name), &nameLen);
}

std::string TCustomWSocket::BoundPort() {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return "error";
  sockaddr_in local{};
  int length = kSockaddrInSize;
  if (wsapi::getsockname(socketHandle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return "error";
  return std::to_string(wsapi::ntohs(local.sin_port));
}

bool TCustomWSocket::TimevalIsSet(const timeval& value) { return value.tv_sec != 0 || value.tv_usec != 0; }

void TCustomWSocket::TimevalClear(timeval& value) { value.tv_sec = value.tv_usec = 0; }

bool TCustomWSocket::TimevalCompare(const timeval& a, const timeval& b, bool wantEqual) {
  const bool equal = a.tv_sec == b.tv_sec && a.tv_usec == b.tv_usec;
  return equal == wantEqual;
}

// ---- opening ----

bool TCustomWSocket::ResolveEndpoint(bool withLocalPort, const char* reportPrefix) {
  try {
    if (!protoResolved_) {
      protoNumber_ = WSocketResolveProto(proto_);
      socketType_ = protoNumber_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
      protoResolved_ = true;
    }
    if (!portResolved_) {
      portNumber_ = WSocketResolvePort(port_, proto_) & 0xFFFF;
      remoteAddress_.sin_port = wsapi::htons(static_cast<u_short>(portNumber_));
      portResolved_ = true;
    }
    if (withLocalPort && !localPortResolved_) {
      localPortNumber_ = WSocketResolvePort(localPort_, proto_) & 0xFFFF;
      localPortResolved_ = true;
    }
    if (!addrResolved_) {
      remoteAddress_.sin_addr.s_addr = WSocketResolveHost(addr_);
      addrResolved_ = true;
    }
    return true;
  } catch (const std::exception& e) {
    ReportError(reportPrefix + std::string(e.what()));
    return false;
  }
}

void TCustomWSocket::Connect() {
  if (socketHandle_ != INVALID_SOCKET && state_ != wsClosed) return ReportError("Connect: Socket already in use");
  if (!portAssigned_) return ReportError("Connect: No Port Specified");
  if (!addrAssigned_) return ReportError("Connect: No IP Address Specified");
  if (!protoAssigned_) return ReportError("Connect: No Protocol Specified");
  if (!ResolveEndpoint(true, "connect: ")) return;
  ClearSendQueue();
  socketHandle_ = wsapi::socket(addressFamily_, socketType_, protoNumber_);
  if (socketHandle_ == INVALID_SOCKET) return ReportSocketError("Connect (socket)");
  SetState(wsOpened);
  if (!(IsStream() ? PrepareStreamConnect() : PrepareDatagramConnect())) return;
  if (SelectEvents(kConnectEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  if (!IsStream()) {
    // No Winsock connect for datagrams: SendRaw addresses each one.
    SetState(wsConnected);
    FireSessionConnected(0);
    return;
  }
  if (wsapi::connect(socketHandle_, reinterpret_cast<const sockaddr*>(&remoteAddress_), kSockaddrInSize) == 0) {
    SetState(wsConnecting);
    return;
  }
  const int code = wsapi::WSAGetLastError();
  if (code == WSAEWOULDBLOCK) {
    SetState(wsConnecting);  // FD_CONNECT completes it
    return;
  }
  lastError_ = code;
  ReportSocketError("Connect");
}

bool TCustomWSocket::PrepareDatagramConnect() {
  if (!BindLocal()) return false;
  if (remoteAddress_.sin_addr.s_addr != INADDR_BROADCAST) return true;
  const int on = 1;
  if (wsapi::setsockopt(socketHandle_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0)
    return true;
  ReportSocketError("setsockopt(SO_BROADCAST)");
  return false;
}

bool TCustomWSocket::PrepareStreamConnect() {
  if (localPortNumber_ != 0 && !BindLocal()) return false;
  SetLinger();
  const int allBits = -1;
  const char* value = reinterpret_cast<const char*>(&allBits);
  if (wsapi::setsockopt(socketHandle_, SOL_SOCKET, SO_KEEPALIVE, value, sizeof allBits) != 0) {
    ReportSocketError("setsockopt(SO_KEEPALIVE)");
    return false;
  }
  if (wsapi::setsockopt(socketHandle_, SOL_SOCKET, SO_REUSEADDR, value, sizeof allBits) != 0) {
    ReportSocketError("setsockopt(SO_REUSEADDR)");
    return false;
  }
  return true;
}

// A socket that could not be bound is not used: Connect ends in wsOpened,
// with LastError telling why.
bool TCustomWSocket::BindLocal() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = wsapi::htons(static_cast<u_short>(localPortNumber_));
  local.sin_addr.s_addr = INADDR_ANY;
  if (wsapi::bind(socketHandle_, reinterpret_cast<const sockaddr*>(&local), kSockaddrInSize) != 0) {
    lastError_ = wsapi::WSAGetLastError();
    ReportErrorFmt("winsock.bind failed, error #%d", lastError_);
    return false;
  }
  int length = kSockaddrInSize;
  if (wsapi::getsockname(socketHandle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    lastError_ = wsapi::WSAGetLastError();
    ReportErrorFmt("winsock.getsockname failed, error #%d", lastError_);
    return false;
  }
  localPortNumber_ = wsapi::ntohs(local.sin_port);
  localPort_ = std::to_string(localPortNumber_);
  return true;
}

void TCustomWSocket::Listen() {
  if (!portAssigned_) return ReportInvalidListen("listen: port not assigned");
  if (!protoAssigned_) return ReportInvalidListen("listen: protocol not assigned");
  if (!addrAssigned_) return ReportInvalidListen("listen: address not assigned");
  if (!ResolveEndpoint(false, "listen: ")) return;
  ClearSendQueue();
  socketHandle_ = wsapi::socket(addressFamily_, socketType_, protoNumber_);
  if (socketHandle_ == INVALID_SOCKET) return ReportSocketError("socket");
  if (wsapi::bind(socketHandle_, reinterpret_cast<const sockaddr*>(&remoteAddress_), kSockaddrInSize) != 0) {
    // The socket goes before the report, which may raise: a raised report
    // must not leave the port held by a socket nobody owns.
    const int code = wsapi::WSAGetLastError();
    wsapi::closesocket(socketHandle_);
    socketHandle_ = INVALID_SOCKET;
    wsapi::WSASetLastError(code);
    return ReportSocketError("Bind");
  }
  SetState(wsBound);
  if (IsStream()) {
    if (wsapi::listen(socketHandle_, 5) != 0) return ReportSocketError("Listen");
    SetState(wsListening);
  } else {
    SetState(wsListening);
    SetState(wsConnected);
    FireSessionConnected(0);
  }
  if (SelectEvents(kListenEvents) != 0) ReportSocketError("WSAASyncSelect");
}

void TCustomWSocket::ReportInvalidListen(const char* functionName) {
  wsapi::WSASetLastError(WSAEINVAL);
  ReportSocketError(functionName);
}

SOCKET TCustomWSocket::Accept() {
  if (state_ != wsListening) {
    wsapi::WSASetLastError(WSAEINVAL);
    ReportSocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  int length = kSockaddrInSize;
  acceptedHandle_ = wsapi::accept(socketHandle_, reinterpret_cast<sockaddr*>(&remoteAddress_), &length);
  if (acceptedHandle_ == INVALID_SOCKET) ReportSocketError("Accept");
  return acceptedHandle_;
}

void TCustomWSocket::Dup(SOCKET newHandle) {
  if (newHandle == 0 || newHandle == INVALID_SOCKET) {
    wsapi::WSASetLastError(WSAEINVAL);
    return ReportSocketError("Dup");
  }
  if (state_ != wsClosed) {
    const int result = wsapi::closesocket(socketHandle_);
    socketHandle_ = INVALID_SOCKET;
    if (result != 0) return ReportSocketError("Dup (closesocket)");
    SetState(wsClosed);
  }
  socketHandle_ = newHandle;
  SetLinger();
  if (SelectEvents(kResumeEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  SetState(wsConnected);
}

void TCustomWSocket::SetLinger() {
  if (lingerOnOff_ == wsLingerNoSet) return;
  if (socketHandle_ == INVALID_SOCKET) return ReportError("Cannot set linger option at this time");
  linger value{};
  value.l_onoff = lingerOnOff_;
  value.l_linger = static_cast<u_short>(lingerTimeout_);
  if (wsapi::setsockopt(socketHandle_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value), sizeof value) != 0)
    ReportSocketError("setsockopt(SO_LINGER)");
}

int TCustomWSocket::Pause() {
  paused_ = true;
  return wsapi::WSAAsyncSelect(socketHandle_, windowHandle_.get(), 0, 0);
}

int TCustomWSocket::Resume() {
  paused_ = false;
  return SelectEvents(kResumeEvents);
}

bool TCustomWSocket::HasNotificationWindow() {
  if (windowHandle_ != nullptr) return true;
  wsapi::WSASetLastError(WSAEINVAL);
  return false;
}

int TCustomWSocket::SelectEvents(long events) {
  if (!HasNotificationWindow()) return SOCKET_ERROR;
  return wsapi::WSAAsyncSelect(socketHandle_, windowHandle_.get(), WM_SOCKET_EVENT, events);
}

void TCustomWSocket::Shutdown(int how) {
  if (socketHandle_ != INVALID_SOCKET) wsapi::shutdown(socketHandle_, how);
}

// ---- closing ----

void TCustomWSocket::Close() { CloseWithError(true, 0); }

void TCustomWSocket::CloseWithError(bool shutdownFirst, uint16_t error) {
  if (socketHandle_ == INVALID_SOCKET) {
    if (state_ != wsClosed) {
      SetState(wsClosed);
      ResetDefaults();
    }
    return;
  }
  if (state_ == wsClosed) return;
  if (shutdownFirst) Shutdown(SD_SEND);
  if (!CloseSocketHandle()) return;
  SetState(wsClosed);
  if (!Destroying() && !closeNotified_ && OnSessionClosed) {
    closeNotified_ = true;
    FireSessionClosed(error);
  }
  try {
    ResetDefaults();
  } catch (...) {
  }
}

// A non-blocking socket whose close lingers answers WSAEWOULDBLOCK until its
// data have gone. The close is tried again between waits for messages, for
// at most the linger time, and then made abortive, which never waits. False
// when the close was reported, or made by a handler those messages reached.
bool TCustomWSocket::CloseSocketHandle() {
  const SOCKET handle = socketHandle_;
  const DWORD start = GetTickCount();
  bool abortive = false;
  for (;;) {
    if (socketHandle_ != handle) return false;
    if (CloseRaw(handle) == 0) break;
    const int code = wsapi::WSAGetLastError();
    if (code == WSANOTINITIALISED) break;
    if (code != WSAEWOULDBLOCK || abortive) {
      lastError_ = code;
      socketHandle_ = INVALID_SOCKET;
      ReportSocketError("Disconnect (closesocket)");
      return false;
    }
    lastError_ = WSAEWOULDBLOCK;
    if (GetTickCount() - start >= LingerWaitMs()) {
      abortive = true;
      SetAbortiveLinger();
    } else {
      PumpMessages();
      WaitForMessages(kCloseRetryMs);
    }
  }
  socketHandle_ = INVALID_SOCKET;
  return true;
}

DWORD TCustomWSocket::LingerWaitMs() const {
  return static_cast<DWORD>(std::clamp(lingerTimeout_, 0, kLongestLingerWaitMs / 1000) * 1000);
}

// Linger on with a time of zero: the close resets the connection at once.
void TCustomWSocket::SetAbortiveLinger() {
  linger value{};
  value.l_onoff = 1;
  value.l_linger = 0;
  wsapi::setsockopt(socketHandle_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value), sizeof value);
}

int TCustomWSocket::CloseRaw(SOCKET handle) { return wsapi::closesocket(handle); }

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  ClearSendQueue();
  if (state_ == wsConnected && protoNumber_ == IPPROTO_TCP) {
    lingerOnOff_ = wsLingerOff;
    SetLinger();
  }
  CloseWithError(false, 0);
}

void TCustomWSocket::Flush() {
  while (socketHandle_ != INVALID_SOCKET && !allSent_) {
    // An empty queue has nothing left to send, whatever AllSent says.
    if (sendQueue_.Empty()) {
      allSent_ = true;
      return;
    }
    TryToSend();
    PumpMessages();
    if (!allSent_) WaitForMessages(kWaitSliceMs);
  }
}

void TCustomWSocket::WaitForClose() {
  while (socketHandle_ != INVALID_SOCKET && state_ != wsClosed) {
    PumpMessages();
    u_long count = 0;
    if (wsapi::ioctlsocket(socketHandle_, FIONREAD, &count) == SOCKET_ERROR) return;
    if (count > 0) {
      FireDataAvailable(0);
    } else {
      char probe = 0;
      if (RecvRaw(&probe, 0, 0) <= 0) {
        lastError_ = wsapi::WSAGetLastError();
        if (lastError_ != WSAEWOULDBLOCK) return;
      }
    }
    PumpMessages();
    WaitForMessages(kWaitSliceMs);
  }
}

// ---- sending ----

int TCustomWSocket::Send(const void* data, int len) {
  if (state_ != wsConnected) {
    wsapi::WSASetLastError(WSAENOTCONN);
    ReportSocketError("Send");
    return -1;
  }
  allSent_ = false;
  int result = 0;
  if (len > 0) {
    if (IsStream())
      sendQueue_.QueueData(data, len);
    else
      sendQueue_.QueueDatagram(data, len);
    result = len;
  }
  TryToSend();
  // OnDataSent comes later from the message loop, never inside Send, so a
  // handler that sends again does not recurse.
  if (allSent_)
    PostMessageA(windowHandle_.get(), WM_SOCKET_EVENT, static_cast<WPARAM>(socketHandle_), MAKELPARAM(FD_WRITE, 0));
  return result;
}

int TCustomWSocket::SendStr(const std::string& text) { return Send(text.data(), static_cast<int>(text.size())); }

int TCustomWSocket::SendTo(const sockaddr_in& dest, int destLen, const void* data, int len) {
  const sockaddr_in destination = dest;
  const int result = wsapi::sendto(socketHandle_, static_cast<const char*>(data), len, sendFlags_,
                                   reinterpret_cast<const sockaddr*>(&destination), destLen);
  if (result == SOCKET_ERROR) lastError_ = wsapi::WSAGetLastError();
  return result;
}

int TCustomWSocket::SendRaw(const void* data, int len) {
  const char* bytes = static_cast<const char*>(data);
  if (IsStream()) return wsapi::send(socketHandle_, bytes, len, sendFlags_);
  return wsapi::sendto(socketHandle_, bytes, len, sendFlags_, reinterpret_cast<const sockaddr*>(&remoteAddress_),
                       kSockaddrInSize);
}

void TCustomWSocket::TryToSend() {
  if (socketHandle_ == INVALID_SOCKET || sendQueue_.Empty()) return;
  for (;;) {
    int32_t length = 0;
    const uint8_t* data = sendQueue_.First().Peek(length);
    if (data == nullptr) {
      if (sendQueue_.ChunkCount() <= 1) {
        allSent_ = true;
        return;
      }
      sendQueue_.DropFirst();
      continue;
    }
    const int sent = SendRaw(data, length);
    if (sent == SOCKET_ERROR) return HandleSendFailure();
    if (!IsStream()) {
      if (!TakeSentDatagram(sent, length)) return;
      continue;
    }
    if (sent == 0) return;
    sendQueue_.First().Remove(sent);
    if (sent < length) return;  // FD_WRITE resumes
  }
}

// Winsock sends a datagram whole or not at all. A shorter count means it
// did not go out as given: that is reported, and the rest is never sent as
// a datagram of its own.
bool TCustomWSocket::TakeSentDatagram(int sent, int32_t length) {
  sendQueue_.First().Remove(length);
  if (sent == length) return true;
  wsapi::WSASetLastError(WSAEMSGSIZE);
  ReportSocketError("TryToSend failed");
  return false;
}

void TCustomWSocket::HandleSendFailure() {
  const int code = wsapi::WSAGetLastError();
  switch (code) {
    case WSAECONNRESET:
    case WSAENOTSOCK:
    case WSAENOTCONN:
    case WSAEINVAL:
    case WSAECONNABORTED:
      closeNotified_ = true;
      Close();
      FireSessionClosed(static_cast<uint16_t>(code));
      return;
    case WSAEWOULDBLOCK:
      return;  // FD_WRITE resumes
    default:
      // A datagram Winsock refused is dropped: kept, it would fail again
      // ahead of every later one.
      if (!IsStream()) sendQueue_.First().Remove(sendQueue_.First().Filled());
      ReportSocketError("TryToSend failed");
  }
}

// ---- receiving ----

int TCustomWSocket::RecvRaw(void* buffer, int bufferSize, int flags) {
  return wsapi::recv(socketHandle_, static_cast<char*>(buffer), bufferSize, flags);
}

int TCustomWSocket::RecvFromRaw(SOCKET handle, void* buffer, int bufferSize, int flags, sockaddr_in& from,
                                int& fromLen) {
  return wsapi::recvfrom(handle, static_cast<char*>(buffer), bufferSize, flags, reinterpret_cast<sockaddr*>(&from),
                         &fromLen);
}

int TCustomWSocket::CountReceived(int result) {
  if (result < 0)
    lastError_ = wsapi::WSAGetLastError();
  else
    readCount_ += result;
  return result;
}

int TCustomWSocket::Receive(void* buffer, int bufferSize) { return CountReceived(RecvRaw(buffer, bufferSize, 0)); }

int TCustomWSocket::ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen) {
  return CountReceived(RecvFromRaw(socketHandle_, buffer, bufferSize, 0, from, fromLen));
}

std::string TCustomWSocket::ReceiveStr() {
  const int waiting = RcvdCount();
  if (waiting <= 0) return {};
  std::string text(static_cast<size_t>(waiting), '\0');
  const int read = RecvRaw(text.data(), waiting, 0);
  if (read <= 0) return {};
  text.resize(static_cast<size_t>(read));
  return text;
}

// Calls OnDataAvailable while bytes wait, at most Limit times; without a
// handler the bytes are read and dropped. Winsock notifies again while bytes
// remain after a read, so a bounded drain loses nothing, and a socket that
// someone floods never holds its thread for more than Limit reads at a time.
// A handler's exception ends the drain here.
void TCustomWSocket::DrainReceived(uint16_t error, int limit) {
  for (int read = 0; read < limit; ++read) {
    lastError_ = 0;
    try {
      if (!FireDataAvailable(error) && !DiscardWaitingPiece()) return;
      if (lastError_ != 0) return;
      u_long count = 0;
      if (wsapi::ioctlsocket(socketHandle_, FIONREAD, &count) == SOCKET_ERROR) {
        lastError_ = wsapi::WSAGetLastError();
        return;
      }
      if (count == 0) return;
    } catch (...) {
      return;
    }
  }
}

// Reads one piece and drops it; false when nothing was left to read.
bool TCustomWSocket::DiscardWaitingPiece() {
  char piece[kDrainPieceSize];
  if (RecvRaw(piece, kDrainPieceSize, 0) != SOCKET_ERROR) return true;
  lastError_ = wsapi::WSAGetLastError();
  if (lastError_ != WSAEWOULDBLOCK) return true;
  lastError_ = 0;
  return false;
}

// ---- reports and events ----

void TCustomWSocket::ReportError(const std::string& message) {
  if (OnError) return FireError();
  throw ESocketException(message);
}

void TCustomWSocket::ReportErrorFmt(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  ReportError(text);
}

void TCustomWSocket::ReportSocketError(const char* functionName) {
  const int code = wsapi::WSAGetLastError();
  const std::string text =
      "Error " + std::to_string(code) + " in function " + functionName + "\r\n" + WinsockErrorText(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    // The connection is gone: drop the handle without firing a close.
    wsapi::closesocket(socketHandle_);
    socketHandle_ = INVALID_SOCKET;
    SetState(wsClosed);
  }
  lastError_ = code;
  ReportError(text);
}

void TCustomWSocket::SetState(TSocketState newState) {
  const TSocketState old = state_;
  state_ = newState;
  FireChangeState(old, newState);
}

bool TCustomWSocket::FireDataAvailable(uint16_t error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, error);
  return true;
}

void TCustomWSocket::FireSessionAvailable(uint16_t error) {
  if (OnSessionAvailable) OnSessionAvailable(this, error);
}

void TCustomWSocket::FireSessionConnected(uint16_t error) {
  if (OnSessionConnected) OnSessionConnected(this, error);
}

void TCustomWSocket::FireSessionClosed(uint16_t error) {
  if (OnSessionClosed) OnSessionClosed(this, error);
}

void TCustomWSocket::FireDataSent(uint16_t error) {
  if (OnDataSent) OnDataSent(this, error);
}

void TCustomWSocket::FireChangeState(TSocketState oldState, TSocketState newState) {
  if (OnChangeState) OnChangeState(this, oldState, newState);
}

void TCustomWSocket::FireDnsLookupDone(uint16_t error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

void TCustomWSocket::FireError() {
  if (OnError) OnError(this);
}

}  // namespace sntp
