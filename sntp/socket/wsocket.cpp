// The socket object: endpoints, opening, sending through the queue,
// receiving, closing and error reports. Its hidden window and the message
// dispatch are in socket_window.cpp, the name lookups in socket_lookup.cpp.
#include "sntp/socket/wsocket.h"

#include <cstdarg>
#include <cstdio>

#include "sntp/socket/resolve.h"
#include "sntp/socket/socket_window.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

constexpr long kConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;  // 59
constexpr long kListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;                 // 43
constexpr long kResumeEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;                // 51
constexpr int kDrainPieceSize = 1024;
constexpr int kSockaddrInSize = sizeof(sockaddr_in);

}  // namespace

TCustomWSocket::TCustomWSocket(TComponent* Owner) : TComponent(Owner) {
  WindowHandle = TSocketWindow::Create(this);
  SendQueue.SetChunkSize(SendChunkSize);
  ResetDefaults();
  ++SocketCount();
}

TCustomWSocket::~TCustomWSocket() {
  // Nothing may escape a destructor: a failing close or a throwing handler
  // ends here.
  try {
    CancelDnsLookup();
  } catch (...) {
  }
  try {
    if (StateValue != wsClosed) Close();
  } catch (...) {
  }
  if (--SocketCount() <= 0) {
    UnloadWinsock();
    SocketCount() = 0;
  }
  ClearSendQueue();
  TSocketWindow::Destroy(WindowHandle);
  WindowHandle = nullptr;
}

void TCustomWSocket::ResetDefaults() {
  RemoteAddress = sockaddr_in{};
  RemoteAddress.sin_family = AF_INET;
  AddressFamily = AF_INET;
  PortAssigned = AddrAssigned = AddrResolved = PortResolved = ProtoResolved = LocalPortResolved = false;
  ProtoAssigned = true;
  ProtoNumber = IPPROTO_TCP;
  ProtoText = "tcp";
  SocketType = SOCK_STREAM;
  LocalPortText = "0";
  LingerOnOffValue = wsLingerOn;
  LingerTimeoutValue = 0;
  SocketHandle = INVALID_SOCKET;
  StateValue = wsClosed;
  AllSent = true;
  Paused = false;
  ReadCountValue = 0;
  CloseNotified = false;
}

// ---- endpoint properties ----

bool TCustomWSocket::SetTextProperty(std::string& Text, bool& Assigned, bool* Resolved, const std::string& Value,
                                     const char* Message) {
  if (Assigned && Value == Text) return false;
  if (StateValue != wsClosed) {
    ReportError(Message);
    return false;
  }
  Text = TrimBlanksAndControls(Value);
  if (Text.empty()) {
    Assigned = false;
  } else {
    *Resolved = false;
    Assigned = true;
  }
  return true;
}

void TCustomWSocket::SetAddr(const std::string& Value) {
  SetTextProperty(AddrText, AddrAssigned, &AddrResolved, Value, "Cannot change Addr if not closed");
}

void TCustomWSocket::SetPort(const std::string& Value) {
  SetTextProperty(PortText, PortAssigned, &PortResolved, Value, "Cannot change Port if not closed");
}

void TCustomWSocket::SetProto(const std::string& Value) {
  SetTextProperty(ProtoText, ProtoAssigned, &ProtoResolved, Value, "Cannot change Proto if not closed");
}

void TCustomWSocket::SetLocalPort(const std::string& Value) {
  if (StateValue != wsClosed) {
    ReportError("Cannot change LocalPort if not closed");
    return;
  }
  LocalPortText = Value;
  LocalPortResolved = false;
}

TSocketSendFlags TCustomWSocket::SendFlags() const {
  return SendFlagsValue == MSG_OOB ? wsSendUrgent : wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value) {
  switch (Value) {
    case wsSendNormal: SendFlagsValue = 0; return;
    case wsSendUrgent: SendFlagsValue = MSG_OOB; return;
  }
  ReportError("Invalid SendFlags");
}

// ---- reading the socket's condition ----

int TCustomWSocket::RcvdCount() {
  u_long count = 0;
  if (wsapi::ioctlsocket(SocketHandle, FIONREAD, &count) == SOCKET_ERROR) {
    ReportSocketError("ioctlSocket");
    return -1;
  }
  return static_cast<int>(count);
}

std::string TCustomWSocket::PeerAddr() {
  if (StateValue != wsConnected) return "error";
  sockaddr_in peer{};
  int length = kSockaddrInSize;
  if (wsapi::getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    ReportSocketError("GetPeerName");
    return "error";
  }
  return wsapi::inet_ntoa(peer.sin_addr);
}

std::string TCustomWSocket::PeerPort() {
  if (StateValue != wsConnected) return "error";
  sockaddr_in peer{};
  int length = kSockaddrInSize;
  // Linked directly, not through the procedure table: the socket is open, so
  // Winsock is loaded and started already.
  if (::getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    ReportSocketError("GetPeerPort");
    return "error";
  }
  return std::to_string(::ntohs(peer.sin_port));
}

int TCustomWSocket::GetPeerName(sockaddr_in& Name, int NameLen) {
  if (StateValue != wsConnected) return -1;
  return wsapi::getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&Name), &NameLen);
}

int TCustomWSocket::GetSockName(sockaddr_in& Name, int& NameLen) {
  return wsapi::getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&Name), &NameLen);
}

std::string TCustomWSocket::BoundPort() {
  if (StateValue != wsBound && StateValue != wsConnected && StateValue != wsListening) return "error";
  sockaddr_in local{};
  int length = kSockaddrInSize;
  if (wsapi::getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &length) != 0) return "error";
  return std::to_string(wsapi::ntohs(local.sin_port));
}

bool TCustomWSocket::TimevalIsSet(const timeval& Value) { return Value.tv_sec != 0 || Value.tv_usec != 0; }

void TCustomWSocket::TimevalClear(timeval& Value) { Value.tv_sec = Value.tv_usec = 0; }

bool TCustomWSocket::TimevalCompare(const timeval& A, const timeval& B, bool WantEqual) {
  const bool equal = A.tv_sec == B.tv_sec && A.tv_usec == B.tv_usec;
  return equal == WantEqual;
}

// ---- opening ----

bool TCustomWSocket::ResolveEndpoint(bool WithLocalPort, const char* ReportPrefix) {
  try {
    if (!ProtoResolved) {
      ProtoNumber = WSocketResolveProto(ProtoText);
      SocketType = ProtoNumber == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
      ProtoResolved = true;
    }
    if (!PortResolved) {
      PortNumber = WSocketResolvePort(PortText, ProtoText) & 0xFFFF;
      RemoteAddress.sin_port = wsapi::htons(static_cast<u_short>(PortNumber));
      PortResolved = true;
    }
    if (WithLocalPort && !LocalPortResolved) {
      LocalPortNumber = WSocketResolvePort(LocalPortText, ProtoText) & 0xFFFF;
      LocalPortResolved = true;
    }
    if (!AddrResolved) {
      RemoteAddress.sin_addr.s_addr = WSocketResolveHost(AddrText);
      AddrResolved = true;
    }
    return true;
  } catch (const std::exception& E) {
    ReportError(ReportPrefix + std::string(E.what()));
    return false;
  }
}

void TCustomWSocket::Connect() {
  if (SocketHandle != INVALID_SOCKET && StateValue != wsClosed) return ReportError("Connect: Socket already in use");
  if (!PortAssigned) return ReportError("Connect: No Port Specified");
  if (!AddrAssigned) return ReportError("Connect: No IP Address Specified");
  if (!ProtoAssigned) return ReportError("Connect: No Protocol Specified");
  if (!ResolveEndpoint(true, "connect: ")) return;
  ClearSendQueue();
  SocketHandle = wsapi::socket(AddressFamily, SocketType, ProtoNumber);
  if (SocketHandle == INVALID_SOCKET) return ReportSocketError("Connect (socket)");
  SetState(wsOpened);
  if (!(IsStream() ? PrepareStreamConnect() : PrepareDatagramConnect())) return;
  if (SelectEvents(kConnectEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  if (!IsStream()) {
    // No Winsock connect for datagrams: SendRaw addresses each one.
    SetState(wsConnected);
    FireSessionConnected(0);
    return;
  }
  if (wsapi::connect(SocketHandle, reinterpret_cast<const sockaddr*>(&RemoteAddress), kSockaddrInSize) == 0) {
    SetState(wsConnecting);
    return;
  }
  const int code = wsapi::WSAGetLastError();
  if (code == WSAEWOULDBLOCK) {
    SetState(wsConnecting);  // FD_CONNECT completes it
    return;
  }
  LastErrorValue = code;
  ReportSocketError("Connect");
}

bool TCustomWSocket::PrepareDatagramConnect() {
  BindLocal();
  if (RemoteAddress.sin_addr.s_addr != INADDR_BROADCAST) return true;
  const int on = 1;
  if (wsapi::setsockopt(SocketHandle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0)
    return true;
  ReportSocketError("setsockopt(SO_BROADCAST)");
  return false;
}

bool TCustomWSocket::PrepareStreamConnect() {
  if (LocalPortNumber != 0) BindLocal();
  SetLinger();
  const int allBits = -1;
  const char* value = reinterpret_cast<const char*>(&allBits);
  if (wsapi::setsockopt(SocketHandle, SOL_SOCKET, SO_KEEPALIVE, value, sizeof allBits) != 0) {
    ReportSocketError("setsockopt(SO_KEEPALIVE)");
    return false;
  }
  if (wsapi::setsockopt(SocketHandle, SOL_SOCKET, SO_REUSEADDR, value, sizeof allBits) != 0) {
    ReportSocketError("setsockopt(SO_REUSEADDR)");
    return false;
  }
  return true;
}

void TCustomWSocket::BindLocal() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = wsapi::htons(static_cast<u_short>(LocalPortNumber));
  local.sin_addr.s_addr = INADDR_ANY;
  if (wsapi::bind(SocketHandle, reinterpret_cast<const sockaddr*>(&local), kSockaddrInSize) != 0)
    return ReportErrorFmt("winsock.bind failed, error #%d", wsapi::WSAGetLastError());
  int length = kSockaddrInSize;
  if (wsapi::getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return ReportErrorFmt("winsock.getsockname failed, error #%d", wsapi::WSAGetLastError());
  LocalPortNumber = wsapi::ntohs(local.sin_port);
  LocalPortText = std::to_string(LocalPortNumber);
}

void TCustomWSocket::Listen() {
  if (!PortAssigned) return ReportInvalidListen("listen: port not assigned");
  if (!ProtoAssigned) return ReportInvalidListen("listen: protocol not assigned");
  if (!AddrAssigned) return ReportInvalidListen("listen: address not assigned");
  if (!ResolveEndpoint(false, "listen: ")) return;
  ClearSendQueue();
  SocketHandle = wsapi::socket(AddressFamily, SocketType, ProtoNumber);
  if (SocketHandle == INVALID_SOCKET) return ReportSocketError("socket");
  if (wsapi::bind(SocketHandle, reinterpret_cast<const sockaddr*>(&RemoteAddress), kSockaddrInSize) != 0) {
    // The socket goes before the report, which may raise: a raised report
    // must not leave the port held by a socket nobody owns.
    const int code = wsapi::WSAGetLastError();
    wsapi::closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    wsapi::WSASetLastError(code);
    return ReportSocketError("Bind");
  }
  SetState(wsBound);
  if (IsStream()) {
    if (wsapi::listen(SocketHandle, 5) != 0) return ReportSocketError("Listen");
    SetState(wsListening);
  } else {
    SetState(wsListening);
    SetState(wsConnected);
    FireSessionConnected(0);
  }
  if (SelectEvents(kListenEvents) != 0) ReportSocketError("WSAASyncSelect");
}

void TCustomWSocket::ReportInvalidListen(const char* FunctionName) {
  wsapi::WSASetLastError(WSAEINVAL);
  ReportSocketError(FunctionName);
}

SOCKET TCustomWSocket::Accept() {
  if (StateValue != wsListening) {
    wsapi::WSASetLastError(WSAEINVAL);
    ReportSocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  int length = kSockaddrInSize;
  AcceptedHandle = wsapi::accept(SocketHandle, reinterpret_cast<sockaddr*>(&RemoteAddress), &length);
  if (AcceptedHandle == INVALID_SOCKET) ReportSocketError("Accept");
  return AcceptedHandle;
}

void TCustomWSocket::Dup(SOCKET NewHandle) {
  if (NewHandle == 0 || NewHandle == INVALID_SOCKET) {
    wsapi::WSASetLastError(WSAEINVAL);
    return ReportSocketError("Dup");
  }
  if (StateValue != wsClosed) {
    const int result = wsapi::closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    if (result != 0) return ReportSocketError("Dup (closesocket)");
    SetState(wsClosed);
  }
  SocketHandle = NewHandle;
  SetLinger();
  if (SelectEvents(kResumeEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  SetState(wsConnected);
}

void TCustomWSocket::SetLinger() {
  if (LingerOnOffValue == wsLingerNoSet) return;
  if (SocketHandle == INVALID_SOCKET) return ReportError("Cannot set linger option at this time");
  linger value{};
  value.l_onoff = LingerOnOffValue;
  value.l_linger = static_cast<u_short>(LingerTimeoutValue);
  if (wsapi::setsockopt(SocketHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value), sizeof value) != 0)
    ReportSocketError("setsockopt(SO_LINGER)");
}

int TCustomWSocket::Pause() {
  Paused = true;
  return wsapi::WSAAsyncSelect(SocketHandle, WindowHandle, 0, 0);
}

int TCustomWSocket::Resume() {
  Paused = false;
  return SelectEvents(kResumeEvents);
}

bool TCustomWSocket::HasNotificationWindow() {
  if (WindowHandle != nullptr) return true;
  wsapi::WSASetLastError(WSAEINVAL);
  return false;
}

int TCustomWSocket::SelectEvents(long Events) {
  if (!HasNotificationWindow()) return SOCKET_ERROR;
  return wsapi::WSAAsyncSelect(SocketHandle, WindowHandle, WM_SOCKET_EVENT, Events);
}

void TCustomWSocket::Shutdown(int How) {
  if (SocketHandle != INVALID_SOCKET) wsapi::shutdown(SocketHandle, How);
}

// ---- closing ----

void TCustomWSocket::Close() { CloseWithError(true, 0); }

void TCustomWSocket::CloseWithError(bool ShutdownFirst, uint16_t Error) {
  if (SocketHandle == INVALID_SOCKET) {
    if (StateValue != wsClosed) {
      SetState(wsClosed);
      ResetDefaults();
    }
    return;
  }
  if (StateValue == wsClosed) return;
  if (ShutdownFirst) Shutdown(SD_SEND);
  if (!CloseSocketHandle()) return;
  SetState(wsClosed);
  if (!Destroying() && !CloseNotified && OnSessionClosed) {
    CloseNotified = true;
    FireSessionClosed(Error);
  }
  try {
    ResetDefaults();
  } catch (...) {
  }
}

bool TCustomWSocket::CloseSocketHandle() {
  for (;;) {
    if (wsapi::closesocket(SocketHandle) == 0) break;
    const int code = wsapi::WSAGetLastError();
    if (code == WSANOTINITIALISED) break;
    if (code != WSAEWOULDBLOCK) {
      LastErrorValue = code;
      SocketHandle = INVALID_SOCKET;
      ReportSocketError("Disconnect (closesocket)");
      return false;
    }
    LastErrorValue = WSAEWOULDBLOCK;
    PumpMessages();
  }
  SocketHandle = INVALID_SOCKET;
  return true;
}

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  ClearSendQueue();
  if (StateValue == wsConnected && ProtoNumber == IPPROTO_TCP) {
    LingerOnOffValue = wsLingerOff;
    SetLinger();
  }
  CloseWithError(false, 0);
}

void TCustomWSocket::Flush() {
  while (SocketHandle != INVALID_SOCKET && !AllSent) {
    // An empty queue has nothing left to send, whatever AllSent says.
    if (SendQueue.Empty()) {
      AllSent = true;
      return;
    }
    TryToSend();
    PumpMessages();
    if (!AllSent) WaitForMessages();
  }
}

void TCustomWSocket::WaitForClose() {
  while (SocketHandle != INVALID_SOCKET && StateValue != wsClosed) {
    PumpMessages();
    u_long count = 0;
    if (wsapi::ioctlsocket(SocketHandle, FIONREAD, &count) == SOCKET_ERROR) return;
    if (count > 0) {
      FireDataAvailable(0);
    } else {
      char probe = 0;
      if (RecvRaw(&probe, 0, 0) <= 0) {
        LastErrorValue = wsapi::WSAGetLastError();
        if (LastErrorValue != WSAEWOULDBLOCK) return;
      }
    }
    PumpMessages();
    WaitForMessages();
  }
}

void TCustomWSocket::WaitForMessages() {
  constexpr DWORD kWaitSliceMs = 100;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitSliceMs, QS_ALLINPUT);
}

// ---- sending ----

int TCustomWSocket::Send(const void* Data, int Len) {
  if (StateValue != wsConnected) {
    wsapi::WSASetLastError(WSAENOTCONN);
    ReportSocketError("Send");
    return -1;
  }
  AllSent = false;
  int result = 0;
  if (Len > 0) {
    SendQueue.QueueData(Data, Len);
    result = Len;
  }
  TryToSend();
  // OnDataSent comes later from the message loop, never inside Send, so a
  // handler that sends again does not recurse.
  if (AllSent) PostMessageA(WindowHandle, WM_SOCKET_EVENT, static_cast<WPARAM>(SocketHandle), MAKELPARAM(FD_WRITE, 0));
  return result;
}

int TCustomWSocket::SendStr(const std::string& Text) { return Send(Text.data(), static_cast<int>(Text.size())); }

int TCustomWSocket::SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len) {
  const sockaddr_in destination = Dest;
  return wsapi::sendto(SocketHandle, static_cast<const char*>(Data), Len, SendFlagsValue,
                       reinterpret_cast<const sockaddr*>(&destination), DestLen);
}

int TCustomWSocket::SendRaw(const void* Data, int Len) {
  const char* bytes = static_cast<const char*>(Data);
  if (IsStream()) return wsapi::send(SocketHandle, bytes, Len, SendFlagsValue);
  return wsapi::sendto(SocketHandle, bytes, Len, SendFlagsValue, reinterpret_cast<const sockaddr*>(&RemoteAddress),
                       kSockaddrInSize);
}

void TCustomWSocket::TryToSend() {
  if (SocketHandle == INVALID_SOCKET || SendQueue.Empty()) return;
  for (;;) {
    int32_t length = 0;
    const uint8_t* data = SendQueue.First().Peek(length);
    if (data == nullptr) {
      if (SendQueue.ChunkCount() <= 1) {
        AllSent = true;
        return;
      }
      SendQueue.DropFirst();
      continue;
    }
    const int sent = SendRaw(data, length);
    if (sent == 0) return;
    if (sent == SOCKET_ERROR) return HandleSendFailure();
    SendQueue.First().Remove(sent);
    if (sent < length) return;  // FD_WRITE resumes
  }
}

void TCustomWSocket::HandleSendFailure() {
  const int code = wsapi::WSAGetLastError();
  switch (code) {
    case WSAECONNRESET:
    case WSAENOTSOCK:
    case WSAENOTCONN:
    case WSAEINVAL:
    case WSAECONNABORTED:
      CloseNotified = true;
      Close();
      FireSessionClosed(static_cast<uint16_t>(code));
      return;
    case WSAEWOULDBLOCK:
      return;  // FD_WRITE resumes
    default:
      ReportSocketError("TryToSend failed");
  }
}

// ---- receiving ----

int TCustomWSocket::RecvRaw(void* Buffer, int BufferSize, int Flags) {
  return wsapi::recv(SocketHandle, static_cast<char*>(Buffer), BufferSize, Flags);
}

int TCustomWSocket::RecvFromRaw(SOCKET Handle, void* Buffer, int BufferSize, int Flags, sockaddr_in& From,
                                int& FromLen) {
  return wsapi::recvfrom(Handle, static_cast<char*>(Buffer), BufferSize, Flags, reinterpret_cast<sockaddr*>(&From),
                         &FromLen);
}

int TCustomWSocket::CountReceived(int Result) {
  if (Result < 0)
    LastErrorValue = wsapi::WSAGetLastError();
  else
    ReadCountValue += Result;
  return Result;
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize) { return CountReceived(RecvRaw(Buffer, BufferSize, 0)); }

int TCustomWSocket::ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen) {
  return CountReceived(RecvFromRaw(SocketHandle, Buffer, BufferSize, 0, From, FromLen));
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

// Calls OnDataAvailable for as long as bytes wait; without a handler the
// bytes are read and dropped. A handler's exception ends the drain here.
void TCustomWSocket::DrainReceived(uint16_t Error) {
  for (;;) {
    LastErrorValue = 0;
    try {
      if (!FireDataAvailable(Error) && !DiscardWaitingPiece()) return;
      if (LastErrorValue != 0) return;
      u_long count = 0;
      if (wsapi::ioctlsocket(SocketHandle, FIONREAD, &count) == SOCKET_ERROR) {
        LastErrorValue = wsapi::WSAGetLastError();
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
  LastErrorValue = wsapi::WSAGetLastError();
  if (LastErrorValue != WSAEWOULDBLOCK) return true;
  LastErrorValue = 0;
  return false;
}

// ---- reports and events ----

void TCustomWSocket::ReportError(const std::string& Message) {
  if (OnError) return FireError();
  throw ESocketException(Message);
}

void TCustomWSocket::ReportErrorFmt(const char* Format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, Format);
  std::vsnprintf(text, sizeof text, Format, arguments);
  va_end(arguments);
  ReportError(text);
}

void TCustomWSocket::ReportSocketError(const char* FunctionName) {
  const int code = wsapi::WSAGetLastError();
  const std::string text =
      "Error " + std::to_string(code) + " in function " + FunctionName + "\r\n" + WinsockErrorText(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    // The connection is gone: drop the handle without firing a close.
    wsapi::closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    SetState(wsClosed);
  }
  LastErrorValue = code;
  ReportError(text);
}

void TCustomWSocket::SetState(TSocketState NewState) {
  const TSocketState old = StateValue;
  StateValue = NewState;
  FireChangeState(old, NewState);
}

bool TCustomWSocket::FireDataAvailable(uint16_t Error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, Error);
  return true;
}

void TCustomWSocket::FireSessionAvailable(uint16_t Error) {
  if (OnSessionAvailable) OnSessionAvailable(this, Error);
}

void TCustomWSocket::FireSessionConnected(uint16_t Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
}

void TCustomWSocket::FireSessionClosed(uint16_t Error) {
  if (OnSessionClosed) OnSessionClosed(this, Error);
}

void TCustomWSocket::FireDataSent(uint16_t Error) {
  if (OnDataSent) OnDataSent(this, Error);
}

void TCustomWSocket::FireChangeState(TSocketState OldState, TSocketState NewState) {
  if (OnChangeState) OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::FireDnsLookupDone(uint16_t Error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, Error);
}

void TCustomWSocket::FireError() {
  if (OnError) OnError(this);
}

}  // namespace sntp
