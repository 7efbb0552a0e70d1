#include "sntp/socket/win32/winsock_api.h"

#include <mutex>

#include "sntp/socket/socket_exception.h"
#include "sntp/win32/debug_output.h"
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

// Process-wide, guarded by WinsockLock: the library is loaded and released
// under it, and the users are counted under it.
std::mutex WinsockLock;
TModuleReference WinsockLibrary;
WSADATA WinsockStartupData;
int WinsockUsers = 0;

// A procedure of the held library, fetched past the table: the table's own
// fetching takes WinsockLock, which the start-up and the release hold.
FARPROC FetchProc(const char* name) {
  const FARPROC procedure = GetProcAddress(WinsockLibrary.get(), name);
  if (procedure == nullptr)
    throw ESocketException(std::string("Procedure ") + name + " not found in " + kWinsockLibraryName + " Error #" +
                           std::to_string(GetLastError()));
  return procedure;
}

template <class Procedure>
Procedure FetchTyped(const char* name) {
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(FetchProc(name)));
}

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
  const int result = FetchTyped<decltype(&::WSAStartup)>("WSAStartup")(kWinsockVersion, &WinsockStartupData);
  if (result != 0)
    throw ESocketException(std::string(kWinsockLibraryName) + ": WSAStartup error #" + std::to_string(result));
}

// With WinsockLock held.
void UnloadWinsock() {
  if (!WinsockLibrary) return;
  try {
    FetchTyped<decltype(&::WSACleanup)>("WSACleanup")();
  } catch (const ESocketException& failure) {
    // A library without WSACleanup is still released below.
    WriteDebugLine("Winsock could not be stopped: ", failure.what());
  }
  WinsockLibrary.reset();
#define SNTP_WINSOCK_FORGET(Name) wsapi::Name.Forget();
  SNTP_WINSOCK_FUNCTIONS(SNTP_WINSOCK_FORGET)
#undef SNTP_WINSOCK_FORGET
}

}  // namespace

void AddWinsockUser() {
  const std::lock_guard<std::mutex> lock(WinsockLock);
  ++WinsockUsers;
}

void RemoveWinsockUser() {
  const std::lock_guard<std::mutex> lock(WinsockLock);
  if (WinsockUsers > 0) --WinsockUsers;
  if (WinsockUsers == 0) UnloadWinsock();
}

void ReleaseWinsockIfUnused() {
  const std::lock_guard<std::mutex> lock(WinsockLock);
  if (WinsockUsers == 0) UnloadWinsock();
}

FARPROC BindWinsockProc(const std::string& name) {
  const std::lock_guard<std::mutex> lock(WinsockLock);
  if (!WinsockLibrary) LoadAndStartWinsock();
  if (name.empty()) return nullptr;
  return FetchProc(name.c_str());
}

}  // namespace sntp
