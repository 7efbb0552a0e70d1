#pragma once
// Test support under Wine: this thread's messages delivered with the
// library's own pump, until a condition holds or until everything posted
// before the call has been handled. The bound on a wait guards against a
// broken build; it is never a measurement.
#include <windows.h>

#include <functional>

#include "sntp/win32/message_window.h"

namespace sntp::test {

// Dispatches this thread's messages until Done holds or about LimitMs pass.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000) {
  const DWORD start = GetTickCount();
  TQuitRequest quit;
  while (!done() && GetTickCount() - start <= limitMs) {
    DispatchWaitingMessages(quit);
    if (!done()) WaitForMessages(20);
  }
  return done();
}

// Handles everything posted to this thread before the call.
inline void PumpPosted() {
  constexpr UINT WM_PUMP_MARKER = WM_APP + 77;
  PostThreadMessageA(GetCurrentThreadId(), WM_PUMP_MARKER, 0, 0);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_PUMP_MARKER) DispatchMessageA(&message);
}

}  // namespace sntp::test
