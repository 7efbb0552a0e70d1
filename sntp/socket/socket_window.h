#pragma once
// The hidden window each socket object owns; see socket_window.cpp.
#include "sntp/socket/wsocket.h"

namespace sntp {

class TSocketWindow {
 public:
  // A window of the class "XSocketWindowClass" holding Socket; nullptr when
  // the class cannot be registered.
  static HWND Create(TCustomWSocket* Socket);
  static void Destroy(HWND Window);

 private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  static HINSTANCE ModuleInstance();
  static bool EnsureClassRegistered(HINSTANCE Instance);
};

}  // namespace sntp
