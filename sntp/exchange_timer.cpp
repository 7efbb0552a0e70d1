#include "sntp/exchange_timer.h"

#include <chrono>
#include <utility>

namespace sntp {

namespace {

constexpr char kWindowClassName[] = "SNTPTimerWindowClass";
// Private to the window class; wParam carries the serial of the enabling.
constexpr UINT WM_TIMER_TICK = WM_USER + 1;

// The module holding this code (the library, or a program linking the client
// directly). With ExtraFlags 0 the module's reference count goes up by one.
HMODULE ThisModule(DWORD ExtraFlags) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | ExtraFlags,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// The class belongs to the module that registers it, not to the program
// that loaded the library.
bool EnsureClassRegistered(HINSTANCE Instance, WNDPROC Procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(Instance, kWindowClassName, &existing)) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = Instance;
  windowClass.lpszClassName = kWindowClassName;
  return RegisterClassA(&windowClass) != 0;
}

}  // namespace

TModuleReference::TModuleReference() : Module(ThisModule(0)) {}

TModuleReference::~TModuleReference() {
  if (Module) FreeLibrary(Module);
}

TExchangeTimer::TExchangeTimer(TimerClock& Clock, int32_t Interval, TTimeoutHandler OnTimeout)
    : Clock(Clock), IntervalValue(Interval), OnTimeout(std::move(OnTimeout)), Window(CreateTickWindow(this)) {
  if (!Window) throw EAsyncTimerError("Timer window creation error");
  Timer = std::make_unique<TAsyncTimer>(Clock);
  Timer->SetInterval(Interval);
}

TExchangeTimer::~TExchangeTimer() {
  if (Timer) Timer->SetEnabled(false);
  // Joins the timer's threads: no tick is posted to the window after this.
  Timer.reset();
}

// A message-only window: it needs no desktop, and only posted messages
// reach it.
HWND TExchangeTimer::CreateTickWindow(TExchangeTimer* Owner) {
  const HINSTANCE instance = ThisModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
  if (!EnsureClassRegistered(instance, &TExchangeTimer::WindowProc)) return nullptr;
  HWND window = CreateWindowExA(0, kWindowClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Owner));
  return window;
}

void TExchangeTimer::TWindowDestroyer::operator()(HWND Window) const {
  // Cleared first: a message dispatched during destruction finds no timer.
  SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
  DestroyWindow(Window);
}

void TExchangeTimer::Enable() {
  Timer->SetEnabled(false);  // an enabling always starts a fresh interval
  const uint32_t serial = ++Serial;
  const HWND window = Window.get();
  // Runs in the timer's event-taker thread: it only posts.
  Timer->OnTimer = [window, serial](TAsyncTimer*) {
    PostMessageA(window, WM_TIMER_TICK, static_cast<WPARAM>(serial), 0);
  };
  EnabledAt = Clock.Now();
  EnabledValue = true;
  Timer->SetEnabled(true);
}

void TExchangeTimer::Disable() {
  Timer->SetEnabled(false);
  EnabledValue = false;
}

void TExchangeTimer::TakeTick(WPARAM TickSerial) {
  // Posted before the timer was disabled, or for an earlier enabling.
  if (!EnabledValue || TickSerial != static_cast<WPARAM>(Serial)) return;
  // A tick of the previous enabling that the event-taker thread fired just
  // as the handler was replaced carries the new serial, but comes before
  // the new interval has run.
  if (Clock.Now() - EnabledAt < std::chrono::milliseconds(IntervalValue)) return;
  // A copy: the handler may free this object.
  const TTimeoutHandler handler = OnTimeout;
  if (handler) handler();
}

LRESULT CALLBACK TExchangeTimer::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_TIMER_TICK) return DefWindowProcA(Window, Msg, WParam, LParam);
  auto* owner = reinterpret_cast<TExchangeTimer*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
  try {
    if (owner) owner->TakeTick(WParam);
  } catch (...) {
    // Nothing may unwind into the system's dispatch.
  }
  return 0;
}

}  // namespace sntp
