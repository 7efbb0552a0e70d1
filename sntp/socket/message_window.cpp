#include "sntp/socket/message_window.h"

#include "sntp/socket/win32_handles.h"

namespace sntp {

namespace {

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

}  // namespace

void TWindowDestroyer::operator()(HWND window) const {
  SetWindowLongPtrA(window, 0, 0);
  DestroyWindow(window);
}

TWindowHandle CreateMessageWindow(const char* className, WNDPROC procedure, void* owner) {
  const HINSTANCE instance = ThisModule();
  if (!EnsureClassRegistered(instance, className, procedure)) return nullptr;
  TWindowHandle window(
      CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
  if (window) SetWindowLongPtrA(window.get(), 0, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

void DispatchWaitingMessages(TQuitRequest& quit) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = {true, static_cast<int>(message.wParam)};
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void WaitForMessages(DWORD milliseconds, HANDLE event) {
  MsgWaitForMultipleObjectsEx(event ? 1 : 0, event ? &event : nullptr, milliseconds, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

}  // namespace sntp
