// SNTP.dll's four exports (ordinals in SNTP.def) and its entry point.
//
// The exports use the register calling convention of 32-bit x86: first
// argument in EAX, second in EDX, result in EAX, nothing on the stack and
// nothing popped. The caller reads only AX of a 16-bit result and AL of a
// boolean one. The stack is realigned on entry, since the caller promises
// only 4-byte alignment. On x86_64 (a test build) there is no such
// convention and the platform's own is used.
#include <windows.h>

#include <cstdint>

#include "sntp/query_driver.h"

#if defined(__i386__)
#define SNTP_EXPORT __attribute__((regparm(2), force_align_arg_pointer))
#else
#define SNTP_EXPORT
#endif

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
