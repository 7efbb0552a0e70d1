// The optional layers over the socket. As the library uses them they are
// inactive, and each override passes straight to the socket's behaviour.
#include "sntp/socket/wsocket.h"

namespace sntp {

TCustomSocksWSocket::TCustomSocksWSocket(TComponent* Owner) : TCustomWSocket(Owner) { ResetSocksDefaults(); }

void TCustomSocksWSocket::ResetSocksDefaults() {
  SocksServerText.clear();
  SocksPortText.clear();
  SocksLevelText = "5";
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

TCustomLineWSocket::TCustomLineWSocket(TComponent* Owner) : TCustomSocksWSocket(Owner) {
  LineEndText = "\r\n";
  LineModeValue = false;
}

LRESULT TCustomLineWSocket::DispatchWindowMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  // With line mode off no line data is ever pending.
  if (Msg == WM_LINE_DATA_PENDING) return 0;
  return TCustomSocksWSocket::DispatchWindowMessage(Msg, WParam, LParam);
}

bool TCustomSyncWSocket::WaitUntilSet(const bool& Flag, unsigned TimeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (Flag) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= TimeoutMs || QuitSeen()) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, TimeoutMs - elapsed, QS_ALLINPUT);
  }
}

}  // namespace sntp
