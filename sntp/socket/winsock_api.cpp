#include "sntp/socket/winsock_api.h"

#include "sntp/socket/socket_exception.h"
#include "sntp/win32/handles.h"

namespace sntp {

namespace wsapi {

#define SNTP_WINSOCK_DEFINE(Name) constinit TWinsockEntry<decltype(&::Name)> Name{#Name};
SNTP_WINSOCK_FUNCTIONS(SNTP_WINSOCK_DEFINE)
#undef SNTP_WINSOCK_DEFINE

}  // namespace wsapi

namespace {

constexpr char kWinsockLibraryName[] = "wsock32.dll";
constexpr WORD kWinsockVersion = 0x0101;

// Process-wide and unsynchronised: the component is used from one thread.
TModuleReference WinsockLibrary;
WSADATA WinsockStartupData;

// The system's own copy, by its full path: loaded by name, the search would
// try the program's folder first, and a wsock32.dll put there would be
// loaded into the clock instead.
std::string SystemWinsockPath() {
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(directory, length) + "\\" + kWinsockLibraryName;
}

void LoadAndStartWinsock() {
  const std::string path = SystemWinsockPath();
  if (!path.empty()) WinsockLibrary.reset(LoadLibraryA(path.c_str()));
  if (!WinsockLibrary)
    throw ESocketException(std::string("Unable to load ") + kWinsockLibraryName + " Error #" +
                           std::to_string(GetLastError()));
  // Winsock's own threads (a cancelled name lookup still under way) may run
  // its code after the last socket has gone: the module stays mapped for the
  // life of the process, and unloading only stops Winsock.
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCSTR>(WinsockLibrary.get()), &pinned);
  // The library stays held even when the start-up fails: later calls reach
  // Winsock, which then reports WSANOTINITIALISED itself.
  const int result = wsapi::WSAStartup(kWinsockVersion, &WinsockStartupData);
  if (result != 0)
    throw ESocketException(std::string(kWinsockLibraryName) + ": WSAStartup error #" + std::to_string(result));
}

}  // namespace

int& SocketCount() {
  static int count = 0;
  return count;
}

FARPROC BindWinsockProc(const std::string& name) {
  if (!WinsockLibrary) LoadAndStartWinsock();
  if (name.empty()) return nullptr;
  const FARPROC procedure = GetProcAddress(WinsockLibrary.get(), name.c_str());
  if (procedure == nullptr)
    throw ESocketException("Procedure " + name + " not found in " + kWinsockLibraryName + " Error #" +
                           std::to_string(GetLastError()));
  return procedure;
}

void UnloadWinsock() {
  if (!WinsockLibrary) return;
  try {
    wsapi::WSACleanup();
  } catch (...) {
    // A library without WSACleanup is still released below.
  }
  WinsockLibrary.reset();
#define SNTP_WINSOCK_FORGET(Name) wsapi::Name.Forget();
  SNTP_WINSOCK_FUNCTIONS(SNTP_WINSOCK_FORGET)
#undef SNTP_WINSOCK_FORGET
}

void ReleaseWinsockIfUnused() {
  if (SocketCount() <= 0) UnloadWinsock();
}

}  // namespace sntp
