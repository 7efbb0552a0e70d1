// SNTP.dll's four exports (ordinals in SNTP.def) and its entry point. The
// exports use the register calling convention of export_convention.h.
#include <windows.h>

#include <cstdint>

#include "sntp/library/export_convention.h"
#include "sntp/library/win32/query_driver.h"

extern "C" {

SNTP_EXPORT uint16_t QueryServer(const char* server, double* offset) {
  return sntp::RunQuery(server, offset);
}

SNTP_EXPORT void SNTPCleanUp() { sntp::CleanUp(); }

SNTP_EXPORT bool isConnected() { return sntp::IsConnected(); }

SNTP_EXPORT void setLoopFunction(void* function) { sntp::SetLoopFunction(function); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      return sntp::LibraryLoaded() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      sntp::LibraryUnloading(reserved != nullptr);
      return TRUE;
    default:
      return TRUE;
  }
}

}  // extern "C"
