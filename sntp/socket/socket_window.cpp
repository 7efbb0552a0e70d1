// The socket's hidden window: Winsock posts readiness and lookup completions
// to it, and its window procedure turns each message into one call on the
// socket. No exception leaves the window procedure.
#include <stdexcept>

#include "sntp/socket/socket_window.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {

namespace {

constexpr char kWindowClassName[] = "XSocketWindowClass";

}  // namespace

// The module holding this code, so that the class belongs to the library
// that registers it, not to the program that loaded the library.
HINSTANCE TSocketWindow::ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&TSocketWindow::WindowProc), &module);
  return module;
}

bool TSocketWindow::EnsureClassRegistered(HINSTANCE Instance) {
  WNDCLASSA existing;
  if (GetClassInfoA(Instance, kWindowClassName, &existing)) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &TSocketWindow::WindowProc;
  windowClass.cbWndExtra = sizeof(LONG_PTR);  // the socket object
  windowClass.hInstance = Instance;
  windowClass.lpszClassName = kWindowClassName;
  return RegisterClassA(&windowClass) != 0;
}

// A message-only window: it needs no desktop (there may be none, as in a
// service or under Wine without a display), and only posted messages reach
// it.
HWND TSocketWindow::Create(TCustomWSocket* Socket) {
  const HINSTANCE instance = ModuleInstance();
  // Without a window the handle stays 0, and every operation that needs
  // notifications reports instead of waiting for them.
  if (!EnsureClassRegistered(instance)) return nullptr;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClassName, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, nullptr);
  if (window) SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(Socket));
  return window;
}

void TSocketWindow::Destroy(HWND Window) {
  if (!Window) return;
  // Cleared first: a message arriving during destruction finds no socket.
  SetWindowLongPtrA(Window, 0, 0);
  DestroyWindow(Window);
}

LRESULT CALLBACK TSocketWindow::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* socket = reinterpret_cast<TCustomWSocket*>(GetWindowLongPtrA(Window, 0));
  if (socket == nullptr) return DefWindowProcA(Window, Msg, WParam, LParam);
  try {
    return socket->DispatchWindowMessage(Msg, WParam, LParam);
  } catch (...) {
    return 0;  // the dispatch guard already handled it; nothing crosses into the system
  }
}

LRESULT TCustomWSocket::DispatchWindowMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  try {
    switch (Msg) {
      case WM_SOCKET_EVENT:
        HandleSelectEvent(WParam, LParam);
        return 0;
      case WM_HOSTNAME_LOOKUP_DONE:
        HandleHostByNameDone(WParam, LParam);
        return 0;
      case WM_HOSTADDR_LOOKUP_DONE:
        HandleHostByAddrDone(WParam, LParam);
        return 0;
      default:
        return DefWindowProcA(WindowHandle, Msg, WParam, LParam);
    }
  } catch (const std::exception& E) {
    HandleBackgroundError(E);
  } catch (...) {
    HandleBackgroundError(std::runtime_error("Unknown exception in socket message handling"));
  }
  return 0;
}

void TCustomWSocket::HandleBackgroundError(const std::exception& E) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, E, canClose);
    } catch (...) {
    }
  }
  if (!canClose) return;
  try {
    Abort();
  } catch (...) {
  }
}

// One WM_SOCKET_EVENT: its bits are handled in a fixed order, so a message
// carrying several of them is handled in that order.
void TCustomWSocket::HandleSelectEvent(WPARAM WParam, LPARAM LParam) {
  if (static_cast<SOCKET>(WParam) != SocketHandle || Paused) return;
  const WORD events = WSAGETSELECTEVENT(LParam);
  const auto error = static_cast<uint16_t>(WSAGETSELECTERROR(LParam));
  if (events & FD_CONNECT) {
    SetState(wsConnected);
    FireSessionConnected(error);
    if (error != 0 && StateValue != wsClosed) Close();
  }
  if (events & FD_READ) DrainReceived(error);
  if (events & FD_WRITE) {
    TryToSend();
    if (AllSent) FireDataSent(error);
  }
  if (events & FD_ACCEPT) FireSessionAvailable(error);
  if ((events & FD_CLOSE) && StateValue != wsConnecting) {
    DrainReceived(0);
    if (OnSessionClosed && !CloseNotified) {
      CloseNotified = true;
      FireSessionClosed(error);
    }
    if (StateValue != wsClosed) Close();
  }
}

void TCustomWSocket::PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      QuitSeenValue = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace sntp
