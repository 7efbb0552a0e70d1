// The socket as the library's exchange takes it: a UDP socket opened (on a
// port the system picks, or listening on a given one), a datagram sent to
// its destination, the datagrams that come read as Winsock notifies them,
// the socket closed; its hidden window, where Winsock's notifications arrive
// and become calls on the socket; and the asynchronous name lookup, whose
// completion comes to the same window. What else the component offers
// (streams, accepting, lingering, peer names, flushing and waiting, the
// reverse lookup) is in wsocket_stream.cpp; no path of the library takes it.
#include "sntp/socket/win32/wsocket.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "sntp/socket/abandoned_lookups.h"
#include "sntp/socket/win32/resolve.h"
#include "sntp/socket/win32/winsock_api.h"
#include "sntp/common/failure_text.h"
#include "sntp/win32/debug_output.h"
#include "sntp/win32/message_window.h"

namespace sntp {
namespace {

constexpr char kWindowClassName[] = "XSocketWindowClass";
constexpr int kDrainPieceSize = 1024;
// A lingering close is tried again this often, for at most the linger time.
constexpr DWORD kCloseRetryMs = 50;

}  // namespace

TCustomWSocket::TCustomWSocket() : windowHandle_(CreateNotificationWindow(this)) {
  sendQueue_.SetChunkSize(sendChunkSize_);
  ResetDefaults();
  AddWinsockUser();
}

TCustomWSocket::~TCustomWSocket() {
  BeginDestroying();
  // Nothing may escape a destructor: a failing close or a throwing handler
  // ends here.
  try {
    CancelDnsLookup();
  } catch (...) {
    WriteDebugLine("a socket going away could not cancel its lookup: ", CaughtFailureText());
  }
  try {
    if (state_ != wsClosed) Close();
  } catch (...) {
    WriteDebugLine("a socket going away could not close: ", CaughtFailureText());
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

// ---- the endpoint ----

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

// ---- opening ----

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
  if (IsStream()) return ConnectStream();
  if (!PrepareDatagramConnect()) return;
  if (SelectEvents(kConnectEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  // No Winsock connect for datagrams: SendRaw addresses each one.
  SetState(wsConnected);
  FireSessionConnected(0);
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
    if (!ListenForSessions()) return;
  } else {
    // A datagram socket listens by receiving: it is connected at once.
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

bool TCustomWSocket::HasNotificationWindow() {
  if (windowHandle_ != nullptr) return true;
  wsapi::WSASetLastError(WSAEINVAL);
  return false;
}

int TCustomWSocket::SelectEvents(long events) {
  if (!HasNotificationWindow()) return SOCKET_ERROR;
  return wsapi::WSAAsyncSelect(socketHandle_, windowHandle_.get(), WM_SOCKET_EVENT, events);
}

// ---- sending one datagram ----

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

// ---- reading datagrams ----

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

int TCustomWSocket::ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen) {
  return CountReceived(RecvFromRaw(socketHandle_, buffer, bufferSize, 0, from, fromLen));
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
      // The drain is the data handler's boundary: its failure ends the
      // drain, and the socket goes on.
      WriteDebugLine("a socket's data handler failed: ", CaughtFailureText());
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
  ResetDefaults();
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

int TCustomWSocket::CloseRaw(SOCKET handle) { return wsapi::closesocket(handle); }

void TCustomWSocket::Shutdown(int how) {
  if (socketHandle_ != INVALID_SOCKET) wsapi::shutdown(socketHandle_, how);
}

// ---- the hidden window: Winsock's notifications become calls ----

// Without a window the handle stays empty, and every operation that needs
// notifications reports instead of waiting for them.
TWindowHandle TCustomWSocket::CreateNotificationWindow(TCustomWSocket* socket) {
  return CreateMessageWindow(kWindowClassName, &TCustomWSocket::WindowProc, socket);
}

LRESULT CALLBACK TCustomWSocket::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* socket = WindowOwner<TCustomWSocket>(window);
  if (socket == nullptr) return DefWindowProcA(window, msg, wParam, lParam);
  try {
    return socket->DispatchWindowMessage(msg, wParam, lParam);
  } catch (...) {
    // Nothing crosses into the system's dispatch.
    WriteDebugLine("a socket's window failed: ", CaughtFailureText());
    return 0;
  }
}

LRESULT TCustomWSocket::DispatchWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    switch (msg) {
      case WM_SOCKET_EVENT:
        HandleSelectEvent(wParam, lParam);
        return 0;
      case WM_HOSTNAME_LOOKUP_DONE:
        HandleHostByNameDone(wParam, lParam);
        return 0;
      case WM_HOSTADDR_LOOKUP_DONE:
        HandleHostByAddrDone(wParam, lParam);
        return 0;
      default:
        return DefWindowProcA(windowHandle_.get(), msg, wParam, lParam);
    }
  } catch (const std::exception& e) {
    HandleBackgroundError(e);
  } catch (...) {
    HandleBackgroundError(std::runtime_error("Unknown exception in socket message handling"));
  }
  return 0;
}

void TCustomWSocket::HandleBackgroundError(const std::exception& e) {
  bool canClose = true;
  WriteDebugLine("a socket's notification failed: ", e.what());
  if (OnBgException) {
    try {
      OnBgException(this, e, canClose);
    } catch (...) {
      WriteDebugLine("a socket's OnBgException failed: ", CaughtFailureText());
    }
  }
  if (!canClose) return;
  try {
    Abort();
  } catch (...) {
    WriteDebugLine("a socket that failed could not be aborted: ", CaughtFailureText());
  }
}

// One WM_SOCKET_EVENT: its bits are handled in a fixed order, so a message
// carrying several of them is handled in that order.
void TCustomWSocket::HandleSelectEvent(WPARAM wParam, LPARAM lParam) {
  if (static_cast<SOCKET>(wParam) != socketHandle_ || paused_) return;
  const WORD events = WSAGETSELECTEVENT(lParam);
  const auto error = static_cast<uint16_t>(WSAGETSELECTERROR(lParam));
  if (events & FD_CONNECT) {
    SetState(wsConnected);
    FireSessionConnected(error);
    if (error != 0 && state_ != wsClosed) Close();
  }
  if (events & FD_READ) DrainReceived(error, kReadsPerNotification);
  if (events & FD_WRITE) {
    TryToSend();
    if (allSent_) FireDataSent(error);
  }
  if (events & FD_ACCEPT) FireSessionAvailable(error);
  if ((events & FD_CLOSE) && state_ != wsConnecting) {
    // No notification follows a close: what is left is read now.
    DrainReceived(0, INT_MAX);
    if (OnSessionClosed && !closeNotified_) {
      closeNotified_ = true;
      FireSessionClosed(error);
    }
    if (state_ != wsClosed) Close();
  }
}

void TCustomWSocket::PumpMessages() {
  TQuitRequest quit;
  DispatchWaitingMessages(quit);
  if (quit.Seen) quitSeen_ = true;
}

// ---- the asynchronous name lookup ----

bool TCustomWSocket::StartLookup(const std::string& text) {
  if (text.empty()) {
    ReportError("DNS lookup: invalid host name.");
    FireDnsLookupDone(WSAEINVAL);
    return false;
  }
  if (lookupHandle_ != nullptr) {
    // Replaced: the cancelled lookup is no longer pending, whatever the new
    // one turns out to be.
    wsapi::WSACancelAsyncRequest(lookupHandle_);
    AbandonLookupBuffer();
  }
  AbandonedLookups().Sweep(TAbandonedLookups::TClock::now());
  dnsResult_.clear();
  dnsResultList_.clear();
  return true;
}

void TCustomWSocket::DnsLookup(const std::string& hostName) {
  if (!StartLookup(hostName)) return;
  const unsigned long address = wsapi::inet_addr(hostName.c_str());
  if (address != INADDR_NONE) {
    in_addr dotted{};
    dotted.s_addr = address;
    dnsResult_ = wsapi::inet_ntoa(dotted);
    FireDnsLookupDone(0);
    return;
  }
  lookupHandle_ = HasNotificationWindow()
                     ? wsapi::WSAAsyncGetHostByName(windowHandle_.get(), WM_HOSTNAME_LOOKUP_DONE, hostName.c_str(),
                                                    lookupBuffer_.get(), kLookupBufferSize)
                     : nullptr;
  if (lookupHandle_ == nullptr)
    ReportErrorFmt("%s: can't start DNS lookup, error #%d", hostName.c_str(), wsapi::WSAGetLastError());
}

void TCustomWSocket::CancelDnsLookup() {
  if (lookupHandle_ == nullptr) return;
  const int result = wsapi::WSACancelAsyncRequest(lookupHandle_);
  AbandonLookupBuffer();
  if (result != 0) return ReportSocketError("WSACancelAsyncRequest");
  if (!Destroying()) FireDnsLookupDone(WSAEINTR);
}

// Winsock may still write the pending lookup's area after the cancellation,
// from its own thread: the process-wide record keeps it until the lookup's
// late completion comes, and the next lookup gets an area of its own.
void TCustomWSocket::AbandonLookupBuffer() {
  AbandonedLookups().Abandon(reinterpret_cast<uintptr_t>(lookupHandle_), std::move(lookupBuffer_),
                             TAbandonedLookups::TClock::now());
  lookupHandle_ = nullptr;
  lookupBuffer_ = std::make_unique<char[]>(kLookupBufferSize);
}

// A completion for a lookup other than the pending one (a cancelled one)
// is not taken: it only frees that lookup's area.
bool TCustomWSocket::TakeLookupCompletion(WPARAM wParam) {
  if (lookupHandle_ == nullptr || reinterpret_cast<HANDLE>(wParam) != lookupHandle_) {
    AbandonedLookups().Completed(static_cast<uintptr_t>(wParam));
    return false;
  }
  lookupHandle_ = nullptr;
  return true;
}

void TCustomWSocket::HandleHostByNameDone(WPARAM wParam, LPARAM lParam) {
  if (!TakeLookupCompletion(wParam)) return;
  const auto error = static_cast<uint16_t>(WSAGETASYNCERROR(lParam));
  if (error == 0) {
    AddHostAddresses(reinterpret_cast<const hostent*>(lookupBuffer_.get()), dnsResultList_);
    // A name without addresses leaves the result empty.
    if (!dnsResultList_.empty()) dnsResult_ = dnsResultList_.front();
  }
  FireDnsLookupDone(error);
}

// ---- reports and events ----

void TCustomWSocket::ReportError(const std::string& message) {
  lastErrorText_ = message;
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
