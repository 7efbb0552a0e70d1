// A wsock32.dll that is not the system's, for the end-to-end test to put
// beside the program: loaded, it leaves the file "wsock32.loaded" beside
// itself. It offers no Winsock function, so a library that took it for the
// system's could not work.
#include <windows.h>

#include <string>

namespace {

void LeaveMark(HINSTANCE instance) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::string mark(path, length);
  mark = mark.substr(0, mark.find_last_of("\\/") + 1) + "wsock32.loaded";
  const HANDLE file =
      CreateFileA(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance);
  return TRUE;
}
