// What the socket component offers beyond the library's exchange: streams
// (connecting, listening for and accepting sessions, adopting an accepted
// handle), lingering and abortive closes, pausing, the socket's and its
// peer's names, flushing the send queue and waiting for a close, strings,
// a datagram to an address of the caller's, and the reverse lookup. No path
// of the library takes any of it; wsocket_stream_test.cpp exercises it over
// loopback.
#include <algorithm>
#include <cstring>

#include "sntp/socket/win32/resolve.h"
#include "sntp/socket/win32/winsock_api.h"
#include "sntp/socket/win32/wsocket.h"
#include "sntp/win32/message_window.h"

namespace sntp {
namespace {

constexpr long kResumeEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;  // 51
// Flush and WaitForClose sleep between passes instead of spinning.
constexpr DWORD kWaitSliceMs = 100;
// A lingering close waits at most this long, whatever the linger time.
constexpr int kLongestLingerWaitMs = 10000;
constexpr size_t kAddressTextBufferSize = 257;

}  // namespace

// ---- settings ----

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

// ---- the socket's condition ----

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

// ---- streams ----

// A stream connects in the background: FD_CONNECT completes it.
void TCustomWSocket::ConnectStream() {
  if (!PrepareStreamConnect()) return;
  if (SelectEvents(kConnectEvents) != 0) return ReportSocketError("WSAAsyncSelect");
  if (wsapi::connect(socketHandle_, reinterpret_cast<const sockaddr*>(&remoteAddress_), kSockaddrInSize) == 0) {
    SetState(wsConnecting);
    return;
  }
  const int code = wsapi::WSAGetLastError();
  if (code == WSAEWOULDBLOCK) {
    SetState(wsConnecting);
    return;
  }
  lastError_ = code;
  ReportSocketError("Connect");
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

// A stream socket, bound, waits for sessions; false after a report.
bool TCustomWSocket::ListenForSessions() {
  if (wsapi::listen(socketHandle_, 5) != 0) {
    ReportSocketError("Listen");
    return false;
  }
  SetState(wsListening);
  return true;
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

int TCustomWSocket::Pause() {
  paused_ = true;
  return wsapi::WSAAsyncSelect(socketHandle_, windowHandle_.get(), 0, 0);
}

int TCustomWSocket::Resume() {
  paused_ = false;
  return SelectEvents(kResumeEvents);
}

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

// ---- strings, and datagrams elsewhere ----

int TCustomWSocket::SendStr(const std::string& text) { return Send(text.data(), static_cast<int>(text.size())); }

int TCustomWSocket::SendTo(const sockaddr_in& dest, int destLen, const void* data, int len) {
  const sockaddr_in destination = dest;
  const int result = wsapi::sendto(socketHandle_, static_cast<const char*>(data), len, sendFlags_,
                                   reinterpret_cast<const sockaddr*>(&destination), destLen);
  if (result == SOCKET_ERROR) lastError_ = wsapi::WSAGetLastError();
  return result;
}

int TCustomWSocket::Receive(void* buffer, int bufferSize) { return CountReceived(RecvRaw(buffer, bufferSize, 0)); }

std::string TCustomWSocket::ReceiveStr() {
  const int waiting = RcvdCount();
  if (waiting <= 0) return {};
  std::string text(static_cast<size_t>(waiting), '\0');
  const int read = RecvRaw(text.data(), waiting, 0);
  if (read <= 0) return {};
  text.resize(static_cast<size_t>(read));
  return text;
}

// ---- the reverse lookup ----

void TCustomWSocket::ReverseDnsLookup(const std::string& hostAddr) {
  if (!StartLookup(hostAddr)) return;
  char text[kAddressTextBufferSize] = {};
  std::strncpy(text, hostAddr.c_str(), sizeof text - 1);
  const unsigned long address = wsapi::inet_addr(text);
  lookupHandle_ = HasNotificationWindow()
                     ? wsapi::WSAAsyncGetHostByAddr(windowHandle_.get(), WM_HOSTADDR_LOOKUP_DONE,
                                                    reinterpret_cast<const char*>(&address), 4, PF_INET,
                                                    lookupBuffer_.get(), kLookupBufferSize)
                     : nullptr;
  if (lookupHandle_ == nullptr)
    ReportErrorFmt("%s: can't start DNS lookup, error #%d", hostAddr.c_str(), wsapi::WSAGetLastError());
}

void TCustomWSocket::HandleHostByAddrDone(WPARAM wParam, LPARAM lParam) {
  if (!TakeLookupCompletion(wParam)) return;
  const auto error = static_cast<uint16_t>(WSAGETASYNCERROR(lParam));
  if (error == 0) {
    const auto* entry = reinterpret_cast<const hostent*>(lookupBuffer_.get());
    dnsResult_ = entry->h_name ? entry->h_name : "";
    dnsResultList_.assign(1, dnsResult_);
  }
  FireDnsLookupDone(error);
}

}  // namespace sntp
