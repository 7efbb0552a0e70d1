#pragma once
// SNTP.dll as the clock application loads it: from beside the program, its
// four exports found by name and called with the library's convention.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sntp::test {

#if defined(__i386__)
#define SNTP_CALL __attribute__((regparm(2)))
#else
#define SNTP_CALL
#endif
using TQueryServer = uint16_t(SNTP_CALL*)(const char*, double*);
using TSNTPCleanUp = void(SNTP_CALL*)();
using TIsConnected = bool(SNTP_CALL*)();
using TSetLoopFunction = void(SNTP_CALL*)(void*);

// The folder of this program, with its closing separator.
inline std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string text = path;
  return text.substr(0, text.find_last_of("\\:") + 1);
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// SNTP.dll loaded from beside this program, and its exports; the caller
// frees it.
struct TLoadedLibrary {
  HMODULE Module = LoadLibraryA((ProgramDirectory() + "SNTP.dll").c_str());
  TQueryServer QueryServer = Export<TQueryServer>(Module, "QueryServer");
  TSNTPCleanUp SNTPCleanUp = Export<TSNTPCleanUp>(Module, "SNTPCleanUp");
  TIsConnected IsConnected = Export<TIsConnected>(Module, "isConnected");
  TSetLoopFunction SetLoopFunction = Export<TSetLoopFunction>(Module, "setLoopFunction");

  bool Complete() const { return Module && QueryServer && SNTPCleanUp && IsConnected && SetLoopFunction; }
};

}  // namespace sntp::test
