#pragma once
// The SNTP client's exchange timer on Windows. A TAsyncTimer measures the
// interval in threads of its own; each of its ticks is handed, as a message
// to a message-only window, to the thread that created this object, which is
// the thread that owns the client's sockets. The timeout handler runs there,
// in that thread's message dispatch, so it never runs beside a socket
// handler and the client needs no lock.
//
// Every tick carries the serial of the enabling it belongs to. A tick that
// was posted before the timer was disabled or enabled anew is dropped when
// it is dispatched, so a timeout is never taken twice, nor by the next
// exchange.
//
// Everything here but the tick's posting runs in the creating thread. The
// timer's threads run this module's code, so whoever makes a timer keeps the
// module loaded until it is destroyed (the library does, for its client).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "sntp/platform/client_platform.h"
#include "sntp/timer/async_timer.h"
#include "sntp/timer/timer_clock.h"
#include "sntp/win32/message_window.h"

namespace sntp {

class TMessageExchangeTimer final : public TExchangeTimer {
 public:
  using TTimeoutHandler = std::function<void()>;

  // A disabled timer. Throws EAsyncTimerError when its window or its
  // threads cannot be made.
  TMessageExchangeTimer(TTimerClock& clock, TTimeoutHandler onTimeout);
  // Disables the timer and ends its threads, then destroys the window. The
  // handler may free this object.
  ~TMessageExchangeTimer() override;

  TMessageExchangeTimer(const TMessageExchangeTimer&) = delete;
  TMessageExchangeTimer& operator=(const TMessageExchangeTimer&) = delete;

  // Starts a fresh interval, the first timeout IntervalMs from now; ticks
  // of earlier enablings no longer count.
  void Enable(int32_t intervalMs) override;
  // No tick posted before this call reaches the handler.
  void Disable() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void TakeTick(WPARAM tickSerial);

  TTimerClock& clock_;
  int32_t interval_ = 0;  // of the current enabling
  const TTimeoutHandler onTimeout_;
  TWindowHandle window_;
  uint32_t serial_ = 0;  // of the current enabling
  bool enabled_ = false;
  TTimerClock::TimePoint enabledAt_{};
  // Declared last, destroyed first: its threads post to the window.
  std::unique_ptr<TAsyncTimer> timer_;
};

}  // namespace sntp
