#pragma once
// The SNTP client's exchange timer. A TAsyncTimer measures the interval in
// threads of its own; each of its ticks is handed, as a message to a
// message-only window, to the thread that created this object, which is the
// thread that owns the client's sockets. The timeout handler runs there, in
// that thread's message dispatch, so it never runs beside a socket handler
// and the client needs no lock.
//
// Every tick carries the serial of the enabling it belongs to. A tick that
// was posted before the timer was disabled or enabled anew is dropped when
// it is dispatched, so a timeout is never taken twice, nor by the next
// exchange.
//
// Everything here but the tick's posting runs in the creating thread.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>

#include "sntp/timer/async_timer.h"
#include "sntp/timer/timer_clock.h"

namespace sntp {

// Keeps the module that holds this code loaded for as long as it lives. The
// timer's threads run this code: were the library unloaded by a caller that
// skipped its clean-up, they would be left running in unmapped code, and
// ending them from the unload itself would wait on the loader lock that the
// unload holds. So a library with a live exchange timer stays loaded.
class TModuleReference {
 public:
  TModuleReference();
  ~TModuleReference();
  TModuleReference(const TModuleReference&) = delete;
  TModuleReference& operator=(const TModuleReference&) = delete;

 private:
  HMODULE Module = nullptr;
};

class TExchangeTimer {
 public:
  using TTimeoutHandler = std::function<void()>;

  // A disabled timer whose interval, Interval ms, is fixed here. Throws
  // EAsyncTimerError when its window or its threads cannot be made.
  TExchangeTimer(TimerClock& Clock, int32_t Interval, TTimeoutHandler OnTimeout);
  // Disables the timer and ends its threads, then destroys the window. The
  // handler may free this object.
  ~TExchangeTimer();

  TExchangeTimer(const TExchangeTimer&) = delete;
  TExchangeTimer& operator=(const TExchangeTimer&) = delete;

  // Starts a fresh interval, the first timeout Interval ms from now; ticks
  // of earlier enablings no longer count.
  void Enable();
  // No tick posted before this call reaches the handler.
  void Disable();

 private:
  struct TWindowDestroyer {
    void operator()(HWND Window) const;
  };
  using TWindowHandle = std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDestroyer>;

  static HWND CreateTickWindow(TExchangeTimer* Owner);
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  void TakeTick(WPARAM TickSerial);

  // Declared first, released last: after the threads have ended.
  TModuleReference LibraryHold;
  TimerClock& Clock;
  const int32_t IntervalValue;
  const TTimeoutHandler OnTimeout;
  TWindowHandle Window;
  uint32_t Serial = 0;  // of the current enabling
  bool EnabledValue = false;
  TimerClock::TimePoint EnabledAt{};
  // Declared last, destroyed first: its threads post to Window.
  std::unique_ptr<TAsyncTimer> Timer;
};

}  // namespace sntp
