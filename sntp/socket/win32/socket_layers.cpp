// The optional layers over the socket. As the library uses them they are
// inactive, and each override passes straight to the socket's behaviour.
#include "sntp/socket/win32/wsocket.h"
#include "sntp/win32/message_window.h"

namespace sntp {

TCustomSocksWSocket::TCustomSocksWSocket() { ResetSocksDefaults(); }

void TCustomSocksWSocket::ResetSocksDefaults() {
  socksServer_.clear();
  socksPort_.clear();
  socksLevel_ = "5";
}

void TCustomSocksWSocket::ResetDefaults() {
  TCustomWSocket::ResetDefaults();
  ResetSocksDefaults();
}

void TCustomSocksWSocket::Connect() {
  // Proxy negotiation is not part of this library; connecting straight to
  // the destination would bypass the proxy the caller asked for.
  if (SocksActive()) return ReportError("Connect: proxy negotiation is not supported");
  TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen() { TCustomWSocket::Listen(); }

TCustomLineWSocket::TCustomLineWSocket() {
  lineEnd_ = "\r\n";
  lineMode_ = false;
}

LRESULT TCustomLineWSocket::DispatchWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // With line mode off no line data is ever pending.
  if (msg == WM_LINE_DATA_PENDING) return 0;
  return TCustomSocksWSocket::DispatchWindowMessage(msg, wParam, lParam);
}

bool TCustomSyncWSocket::WaitUntilSet(const bool& flag, unsigned timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (flag) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs || QuitSeen()) return false;
    WaitForMessages(timeoutMs - elapsed);
  }
}

}  // namespace sntp
