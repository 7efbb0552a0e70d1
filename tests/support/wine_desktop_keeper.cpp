// Holds Wine's desktop open for a whole test run: Wine starts its desktop
// process when a program first makes a window and ends it a second after the
// last such program has gone, so every test program would start it anew. On
// an emulated machine that start can outlast Wine's own wait, and the test's
// windows are then refused.
//
//   wine_desktop_keeper.exe READY-FILE
//
// Makes one hidden window, retrying for two minutes while the desktop process
// is still starting; then writes READY-FILE (a Windows path) and waits until
// it is ended. Exit status 1 when no window could be made.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: wine_desktop_keeper READY-FILE\n"
    "Holds Wine's desktop open: makes a hidden window, writes READY-FILE, waits until ended.\n";

constexpr int kTries = 120;
constexpr DWORD kPauseMs = 1000;

HWND MakeHiddenWindow() {
  for (int attempt = 0; attempt < kTries; ++attempt) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (window) return window;
    Sleep(kPauseMs);
  }
  return nullptr;
}

bool WriteReadyFile(const char* path) {
  FILE* file = std::fopen(path, "w");
  if (!file) return false;
  std::fputs("ready\n", file);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 64;
  }
  if (!MakeHiddenWindow()) {
    std::fputs("wine_desktop_keeper: no window could be made\n", stderr);
    return 1;
  }
  if (!WriteReadyFile(argv[1])) {
    std::fprintf(stderr, "wine_desktop_keeper: cannot write %s\n", argv[1]);
    return 1;
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
