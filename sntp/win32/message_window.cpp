#include "sntp/win32/message_window.h"

#include "sntp/win32/handles.h"

namespace sntp {

namespace {

// Window class names are at most 256 characters.
constexpr int kLongestClassName = 256;

// The class belongs to the module that registers it, not to the program
// that loaded the library.
bool EnsureClassRegistered(HINSTANCE instance, const char* className, WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, className, &existing)) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = sizeof(LONG_PTR);  // the object the window serves
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  return RegisterClassA(&windowClass) != 0;
}

// Windows keeps a library's classes registered after the library is
// unloaded, their procedures pointing into it: a class goes with its last
// window instead. While other windows of the class live, Windows refuses
// and nothing changes.
void UnregisterUnusedClass(const char* className, HINSTANCE instance) { UnregisterClassA(className, instance); }

}  // namespace

void TWindowDestroyer::operator()(HWND window) const {
  char className[kLongestClassName + 1] = {};
  const bool named = GetClassNameA(window, className, sizeof className) > 0;
  const auto instance = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE));
  SetWindowLongPtrA(window, 0, 0);
  DestroyWindow(window);
  if (named) UnregisterUnusedClass(className, instance);
}

TWindowHandle CreateMessageWindow(const char* className, WNDPROC procedure, void* owner) {
  const HINSTANCE instance = ThisModule();
  if (!EnsureClassRegistered(instance, className, procedure)) return nullptr;
  TWindowHandle window(
      CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
  if (!window) {
    UnregisterUnusedClass(className, instance);
    return nullptr;
  }
  SetWindowLongPtrA(window.get(), 0, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

bool DispatchOneMessage(TQuitRequest& quit) {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    quit = {true, static_cast<int>(message.wParam)};
    return true;
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void DispatchWaitingMessages(TQuitRequest& quit) {
  while (DispatchOneMessage(quit)) {
  }
}

void WaitForMessages(DWORD milliseconds, HANDLE event) {
  MsgWaitForMultipleObjectsEx(event ? 1 : 0, event ? &event : nullptr, milliseconds, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

}  // namespace sntp
