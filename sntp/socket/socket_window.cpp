// The socket's hidden window: Winsock posts readiness and lookup completions
// to it, and its window procedure turns each message into one call on the
// socket. No exception leaves the window procedure.
#include <climits>
#include <stdexcept>

#include "sntp/socket/wsocket.h"
#include "sntp/win32/message_window.h"

namespace sntp {

namespace {

constexpr char kWindowClassName[] = "XSocketWindowClass";

}  // namespace

// Without a window the handle stays empty, and every operation that needs
// notifications reports instead of waiting for them.
TWindowHandle TCustomWSocket::CreateNotificationWindow(TCustomWSocket* socket) {
  return CreateMessageWindow(kWindowClassName, &TCustomWSocket::WindowProc, socket);
}

LRESULT CALLBACK TCustomWSocket::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* socket = WindowOwner<TCustomWSocket>(window);
  if (socket == nullptr) return DefWindowProcA(window, msg, wParam, lParam);
  try {
    return socket->DispatchWindowMessage(msg, wParam, lParam);
  } catch (...) {
    return 0;  // the dispatch guard already handled it; nothing crosses into the system
  }
}

LRESULT TCustomWSocket::DispatchWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    switch (msg) {
      case WM_SOCKET_EVENT:
        HandleSelectEvent(wParam, lParam);
        return 0;
      case WM_HOSTNAME_LOOKUP_DONE:
        HandleHostByNameDone(wParam, lParam);
        return 0;
      case WM_HOSTADDR_LOOKUP_DONE:
        HandleHostByAddrDone(wParam, lParam);
        return 0;
      default:
        return DefWindowProcA(windowHandle_.get(), msg, wParam, lParam);
    }
  } catch (const std::exception& e) {
    HandleBackgroundError(e);
  } catch (...) {
    HandleBackgroundError(std::runtime_error("Unknown exception in socket message handling"));
  }
  return 0;
}

void TCustomWSocket::HandleBackgroundError(const std::exception& e) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, e, canClose);
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
void TCustomWSocket::HandleSelectEvent(WPARAM wParam, LPARAM lParam) {
  if (static_cast<SOCKET>(wParam) != socketHandle_ || paused_) return;
  const WORD events = WSAGETSELECTEVENT(lParam);
  const auto error = static_cast<uint16_t>(WSAGETSELECTERROR(lParam));
  if (events & FD_CONNECT) {
    SetState(wsConnected);
    FireSessionConnected(error);
    if (error != 0 && state_ != wsClosed) Close();
  }
  if (events & FD_READ) DrainReceived(error, kReadsPerNotification);
  if (events & FD_WRITE) {
    TryToSend();
    if (allSent_) FireDataSent(error);
  }
  if (events & FD_ACCEPT) FireSessionAvailable(error);
  if ((events & FD_CLOSE) && state_ != wsConnecting) {
    // No notification follows a close: what is left is read now.
    DrainReceived(0, INT_MAX);
    if (OnSessionClosed && !closeNotified_) {
      closeNotified_ = true;
      FireSessionClosed(error);
    }
    if (state_ != wsClosed) Close();
  }
}

void TCustomWSocket::PumpMessages() {
  TQuitRequest quit;
  DispatchWaitingMessages(quit);
  if (quit.Seen) quitSeen_ = true;
}

}  // namespace sntp
