#pragma once
// The wizard's side of Windows' display scaling: its awareness of the scale,
// the dots per inch of a window or a monitor, and the window frame around a
// client area at a given scale. The manifest declares per-monitor awareness;
// the functions Windows added for it after Vista are looked up at run time,
// and where a system lacks them its one system-wide setting serves for every
// monitor. Win32.
#include <windows.h>

namespace quickintro {

// Sent when the window moves to a monitor of another scale, or the scale
// changes; the headers for Vista do not declare it.
constexpr UINT WM_DPICHANGED = 0x02E0;

// Makes the process aware of the scale where its manifest has not (a host
// that ignores manifests): per monitor, version 2 where the system has it;
// else system-wide.
void DeclareDpiAwareness();

// The dots per inch a window is drawn at: its monitor's where Windows scales
// per monitor, else the system's.
int DpiOfWindow(HWND window);

// The dots per inch of the monitor that holds a point of the screen.
int DpiAtPoint(POINT point);

// Grows a client rectangle into the whole window's rectangle for the styles,
// with the frame and caption Windows draws at dpi.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// Where only the first version of per-monitor awareness exists (Windows 10
// before 1703), asks Windows to scale the window's caption and frame too;
// called while the window is created. Elsewhere it does nothing.
void EnableNonClientScaling(HWND window);

}  // namespace quickintro
