// Asynchronous name lookups of the socket: Winsock resolves in the
// background and posts the completion to the socket's hidden window.
#include <cstring>

#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"
#include "sntp/socket/wsocket.h"

namespace sntp {
namespace {

constexpr size_t kAddressTextBufferSize = 257;

}  // namespace

bool TCustomWSocket::StartLookup(const std::string& Text) {
  if (Text.empty()) {
    ReportError("DNS lookup: invalid host name.");
    FireDnsLookupDone(WSAEINVAL);
    return false;
  }
  if (LookupHandle != nullptr) {
    wsapi::WSACancelAsyncRequest(LookupHandle);
    AbandonLookupBuffer();
  }
  DnsResultValue.clear();
  DnsResultListValue.clear();
  return true;
}

void TCustomWSocket::DnsLookup(const std::string& HostName) {
  if (!StartLookup(HostName)) return;
  const unsigned long address = wsapi::inet_addr(HostName.c_str());
  if (address != INADDR_NONE) {
    in_addr dotted{};
    dotted.s_addr = address;
    DnsResultValue = wsapi::inet_ntoa(dotted);
    FireDnsLookupDone(0);
    return;
  }
  LookupHandle = HasNotificationWindow()
                     ? wsapi::WSAAsyncGetHostByName(WindowHandle, WM_HOSTNAME_LOOKUP_DONE, HostName.c_str(),
                                                    LookupBuffer.get(), kLookupBufferSize)
                     : nullptr;
  if (LookupHandle == nullptr)
    ReportErrorFmt("%s: can't start DNS lookup, error #%d", HostName.c_str(), wsapi::WSAGetLastError());
}

void TCustomWSocket::ReverseDnsLookup(const std::string& HostAddr) {
  if (!StartLookup(HostAddr)) return;
  char text[kAddressTextBufferSize] = {};
  std::strncpy(text, HostAddr.c_str(), sizeof text - 1);
  const unsigned long address = wsapi::inet_addr(text);
  LookupHandle = HasNotificationWindow()
                     ? wsapi::WSAAsyncGetHostByAddr(WindowHandle, WM_HOSTADDR_LOOKUP_DONE,
                                                    reinterpret_cast<const char*>(&address), 4, PF_INET,
                                                    LookupBuffer.get(), kLookupBufferSize)
                     : nullptr;
  if (LookupHandle == nullptr)
    ReportErrorFmt("%s: can't start DNS lookup, error #%d", HostAddr.c_str(), wsapi::WSAGetLastError());
}

void TCustomWSocket::CancelDnsLookup() {
  if (LookupHandle == nullptr) return;
  const int result = wsapi::WSACancelAsyncRequest(LookupHandle);
  LookupHandle = nullptr;
  AbandonLookupBuffer();
  if (result != 0) return ReportSocketError("WSACancelAsyncRequest");
  if (!Destroying()) FireDnsLookupDone(WSAEINTR);
}

// Deliberately never freed: Winsock may write it after the cancellation,
// from its own thread. One buffer per cancelled lookup.
void TCustomWSocket::AbandonLookupBuffer() {
  static_cast<void>(LookupBuffer.release());
  LookupBuffer = std::make_unique<char[]>(kLookupBufferSize);
}

// A completion for a lookup other than the pending one (a cancelled one)
// is ignored.
bool TCustomWSocket::TakeLookupCompletion(WPARAM WParam) {
  if (LookupHandle == nullptr || reinterpret_cast<HANDLE>(WParam) != LookupHandle) return false;
  LookupHandle = nullptr;
  return true;
}

void TCustomWSocket::HandleHostByNameDone(WPARAM WParam, LPARAM LParam) {
  if (!TakeLookupCompletion(WParam)) return;
  const auto error = static_cast<uint16_t>(WSAGETASYNCERROR(LParam));
  if (error == 0) {
    AddHostAddresses(reinterpret_cast<const hostent*>(LookupBuffer.get()), DnsResultListValue);
    // A name without addresses leaves the result empty.
    if (!DnsResultListValue.empty()) DnsResultValue = DnsResultListValue.front();
  }
  FireDnsLookupDone(error);
}

void TCustomWSocket::HandleHostByAddrDone(WPARAM WParam, LPARAM LParam) {
  if (!TakeLookupCompletion(WParam)) return;
  const auto error = static_cast<uint16_t>(WSAGETASYNCERROR(LParam));
  if (error == 0) {
    const auto* entry = reinterpret_cast<const hostent*>(LookupBuffer.get());
    DnsResultValue = entry->h_name ? entry->h_name : "";
    DnsResultListValue.assign(1, DnsResultValue);
  }
  FireDnsLookupDone(error);
}

}  // namespace sntp
