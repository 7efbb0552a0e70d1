#pragma once
// Under Wine, the windows of a program are drawn without waiting for a window
// manager, which the test display does not have (each shown and destroyed
// window would otherwise wait for it). Set before the program's first window
// loads the display driver; on Windows the key means nothing.
#include <windows.h>

#include <cstring>
#include <string>

namespace quickintro::test {

// For the program of that file name, or this one without a name.
inline void UseUnmanagedWindowsUnderWine(const char* program = nullptr) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = program ? program : strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
  std::string key = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
  HKEY opened;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr))
    return;
  RegSetValueExA(opened, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(opened);
}

}  // namespace quickintro::test
