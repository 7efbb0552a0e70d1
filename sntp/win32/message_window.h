#pragma once
// The library's windows and its message pump. Winsock's notifications and
// the exchange timer's ticks arrive as messages posted to message-only
// windows, which need no desktop (there may be none, as in a service or
// under Wine without a display); they are delivered while the calling
// thread pumps its messages.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace sntp {

// Destroys a window; the object its procedure serves is forgotten first, so
// that a message dispatched while it goes finds none. The last window of a
// class takes the class with it.
struct TWindowDestroyer {
  void operator()(HWND window) const;
};
using TWindowHandle = std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDestroyer>;

// A message-only window of ClassName, registered with Procedure in the
// module holding this code while any window of it lives, serving Owner.
// Empty when the class cannot be registered or the window made.
TWindowHandle CreateMessageWindow(const char* className, WNDPROC procedure, void* owner);

// The object Window serves, or nullptr.
template <class Owner>
Owner* WindowOwner(HWND window) {
  return reinterpret_cast<Owner*>(GetWindowLongPtrA(window, 0));
}

// A WM_QUIT taken off the queue, to be honoured by whoever runs the
// thread's own message loop.
struct TQuitRequest {
  bool Seen = false;
  int ExitCode = 0;
};

// Takes one message off the calling thread's queue, of any window, and
// dispatches it; false when none waits. A WM_QUIT is taken off without being
// dispatched and kept in Quit. A caller with a limit to keep looks at it
// between two messages: the queue of a busy program is never empty.
bool DispatchOneMessage(TQuitRequest& quit);

// Dispatches every message waiting for the calling thread, of any window.
// A WM_QUIT is taken off the queue without being dispatched and kept in Quit.
void DispatchWaitingMessages(TQuitRequest& quit);

// Sleeps until a message waits for the calling thread, Event (when given)
// is set, or Milliseconds have passed.
void WaitForMessages(DWORD milliseconds, HANDLE event = nullptr);

}  // namespace sntp
