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
    lookupHandle_ = nullptr;
    AbandonLookupBuffer();
  }
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

void TCustomWSocket::CancelDnsLookup() {
  if (lookupHandle_ == nullptr) return;
  const int result = wsapi::WSACancelAsyncRequest(lookupHandle_);
  lookupHandle_ = nullptr;
  AbandonLookupBuffer();
  if (result != 0) return ReportSocketError("WSACancelAsyncRequest");
  if (!Destroying()) FireDnsLookupDone(WSAEINTR);
}

// Deliberately never freed: Winsock may write it after the cancellation,
// from its own thread. One buffer per cancelled lookup.
void TCustomWSocket::AbandonLookupBuffer() {
  static_cast<void>(lookupBuffer_.release());
  lookupBuffer_ = std::make_unique<char[]>(kLookupBufferSize);
}

// A completion for a lookup other than the pending one (a cancelled one)
// is ignored.
bool TCustomWSocket::TakeLookupCompletion(WPARAM wParam) {
  if (lookupHandle_ == nullptr || reinterpret_cast<HANDLE>(wParam) != lookupHandle_) return false;
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
