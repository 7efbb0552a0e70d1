// SNTP.dll's four exports (ordinals in SNTP.def) and its entry point. The
// exports use the register calling convention of export_convention.h.
#include <windows.h>

#include <cstdint>

#include "sntp/export_convention.h"
#include "sntp/query_driver.h"

extern "C" {

SNTP_EXPORT uint16_t QueryServer(const char* Server, double* Offset) {
  return sntp::RunQuery(Server, Offset);
}

SNTP_EXPORT void SNTPCleanUp() { sntp::CleanUp(); }

SNTP_EXPORT bool isConnected() { return sntp::IsConnected(); }

SNTP_EXPORT void setLoopFunction(void* Function) { sntp::SetLoopFunction(Function); }

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  switch (Reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(Instance);
      return sntp::LibraryLoaded() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      sntp::LibraryUnloading(Reserved != nullptr);
      return TRUE;
    default:
      return TRUE;
  }
}

}  // extern "C"
