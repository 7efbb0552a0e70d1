// Asynchronous name lookups of the socket: Winsock resolves in the
// background and posts the completion to the socket's hidden window.
#include <cstring>

#include "sntp/socket/abandoned_lookups.h"
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
