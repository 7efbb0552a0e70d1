#include "quickintro/win32/display_dpi.h"

#include <string>

#include "quickintro/display_scale.h"

namespace quickintro {
namespace {

// The awareness contexts and the monitor's effective DPI, as Windows 10 and
// 8.1 number them.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
constexpr int kProcessPerMonitorDpiAware = 2;
constexpr int kEffectiveDpi = 0;

using SetProcessDpiAwarenessContextFunction = BOOL(WINAPI*)(HANDLE);
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
using SetProcessDpiAwarenessFunction = HRESULT(WINAPI*)(int);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <typename Function>
Function Find(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The system's shcore.dll (Windows 8.1 on), by its full path, never one
// lying beside the program; loaded once, for the life of the process.
HMODULE ShcoreLibrary() {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryA((std::string(directory) + "\\shcore.dll").c_str());
}

// The scaling functions this system has; null where it lacks one.
struct TDpiFunctions {
  SetProcessDpiAwarenessContextFunction SetProcessDpiAwarenessContext;
  GetDpiForWindowFunction GetDpiForWindow;
  AdjustWindowRectExForDpiFunction AdjustWindowRectExForDpi;
  EnableNonClientDpiScalingFunction EnableNonClientDpiScaling;
  SetProcessDpiAwarenessFunction SetProcessDpiAwareness;
  GetDpiForMonitorFunction GetDpiForMonitor;
};

const TDpiFunctions& DpiFunctions() {
  static const TDpiFunctions functions = [] {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    const HMODULE shcore = ShcoreLibrary();
    return TDpiFunctions{
        Find<SetProcessDpiAwarenessContextFunction>(user32, "SetProcessDpiAwarenessContext"),
        Find<GetDpiForWindowFunction>(user32, "GetDpiForWindow"),
        Find<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi"),
        Find<EnableNonClientDpiScalingFunction>(user32, "EnableNonClientDpiScaling"),
        Find<SetProcessDpiAwarenessFunction>(shcore, "SetProcessDpiAwareness"),
        Find<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor"),
    };
  }();
  return functions;
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kLayoutDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kLayoutDpi;
}

int DpiOfMonitor(HMONITOR monitor) {
  UINT dpiX = 0, dpiY = 0;
  const auto getDpiForMonitor = DpiFunctions().GetDpiForMonitor;
  if (monitor && getDpiForMonitor && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) && dpiY > 0)
    return static_cast<int>(dpiY);
  return SystemDpi();
}

}  // namespace

void DeclareDpiAwareness() {
  if (IsProcessDPIAware()) return;
  const TDpiFunctions& functions = DpiFunctions();
  if (functions.SetProcessDpiAwarenessContext &&
      (functions.SetProcessDpiAwarenessContext(kPerMonitorAwareV2) ||
       functions.SetProcessDpiAwarenessContext(kPerMonitorAware)))
    return;
  if (functions.SetProcessDpiAwareness && SUCCEEDED(functions.SetProcessDpiAwareness(kProcessPerMonitorDpiAware)))
    return;
  SetProcessDPIAware();
}

int DpiOfWindow(HWND window) {
  const auto getDpiForWindow = DpiFunctions().GetDpiForWindow;
  if (getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return DpiOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY));
}

int DpiAtPoint(POINT point) { return DpiOfMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTOPRIMARY)); }

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  const auto adjust = DpiFunctions().AdjustWindowRectExForDpi;
  if (adjust && adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

void EnableNonClientScaling(HWND window) {
  // Windows with the second version scale the frame themselves and have
  // SetProcessDpiAwarenessContext; only those before it need asking.
  const TDpiFunctions& functions = DpiFunctions();
  if (functions.EnableNonClientDpiScaling && !functions.SetProcessDpiAwarenessContext)
    functions.EnableNonClientDpiScaling(window);
}

}  // namespace quickintro
