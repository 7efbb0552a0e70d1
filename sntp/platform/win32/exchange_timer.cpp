#include "sntp/platform/win32/exchange_timer.h"

#include <chrono>
#include <utility>

#include "sntp/common/failure_text.h"
#include "sntp/win32/debug_output.h"

namespace sntp {

namespace {

constexpr char kWindowClassName[] = "SNTPTimerWindowClass";
// Private to the window class; wParam carries the serial of the enabling.
constexpr UINT WM_TIMER_TICK = WM_USER + 1;

}  // namespace

TMessageExchangeTimer::TMessageExchangeTimer(TTimerClock& clock, TTimeoutHandler onTimeout)
    : clock_(clock),
      onTimeout_(std::move(onTimeout)),
      window_(CreateMessageWindow(kWindowClassName, &TMessageExchangeTimer::WindowProc, this)) {
  if (!window_) throw EAsyncTimerError("Timer window creation error");
  timer_ = std::make_unique<TAsyncTimer>(clock);
}

TMessageExchangeTimer::~TMessageExchangeTimer() {
  if (timer_) timer_->SetEnabled(false);
  // Joins the timer's threads: no tick is posted to the window after this.
  timer_.reset();
}

void TMessageExchangeTimer::Enable(int32_t intervalMs) {
  timer_->SetEnabled(false);  // an enabling always starts a fresh interval
  interval_ = intervalMs > 0 ? intervalMs : 1;
  timer_->SetInterval(interval_);
  const uint32_t serial = ++serial_;
  const HWND window = window_.get();
  // Runs in the timer's event-taker thread: it only posts.
  timer_->OnTimer = [window, serial](TAsyncTimer*) {
    PostMessageA(window, WM_TIMER_TICK, static_cast<WPARAM>(serial), 0);
  };
  enabledAt_ = clock_.Now();
  enabled_ = true;
  timer_->SetEnabled(true);
}

void TMessageExchangeTimer::Disable() {
  timer_->SetEnabled(false);
  enabled_ = false;
}

void TMessageExchangeTimer::TakeTick(WPARAM tickSerial) {
  // Posted before the timer was disabled, or for an earlier enabling.
  if (!enabled_ || tickSerial != static_cast<WPARAM>(serial_)) return;
  // A tick of the previous enabling that the event-taker thread fired just
  // as the handler was replaced carries the new serial, but comes before
  // the new interval has run.
  if (clock_.Now() - enabledAt_ < std::chrono::milliseconds(interval_)) return;
  // A copy: the handler may free this object.
  const TTimeoutHandler handler = onTimeout_;
  if (handler) handler();
}

LRESULT CALLBACK TMessageExchangeTimer::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_TIMER_TICK) return DefWindowProcA(window, msg, wParam, lParam);
  auto* owner = WindowOwner<TMessageExchangeTimer>(window);
  try {
    if (owner) owner->TakeTick(wParam);
  } catch (...) {
    // Nothing may unwind into the system's dispatch.
    WriteDebugLine("the exchange's time-out failed: ", CaughtFailureText());
  }
  return 0;
}

}  // namespace sntp
