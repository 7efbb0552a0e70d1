#include "quickintro/win32/wizard_program.h"

#include <commctrl.h>

#include <cstring>

#include "quickintro/command_line.h"
#include "quickintro/win32/debug_output.h"
#include "quickintro/win32/display_dpi.h"
#include "quickintro/win32/gif_picture.h"

namespace quickintro {
namespace {

constexpr const char* kUsage =
    "Quick Introduction to Zaradada Clock\r\n"
    "\r\n"
    "Usage: quickintro [init]\r\n"
    "\r\n"
    "  init     first-run mode: all eight pages, among them the choice between\r\n"
    "           tray clock and floating clock; closing the window stores it as\r\n"
    "           ChangeTrayClock (\"1\" tray, \"0\" floating) under\r\n"
    "           HKEY_CURRENT_USER\\Software\\Zirazazur\\Options\r\n"
    "  (none)   six pages; nothing is written\r\n"
    "  --help   this text\r\n"
    "\r\n"
    "Only the first argument counts. Exit status: 0 when the wizard ran, 1 when\r\n"
    "it could not start.\r\n";

// Prints to the standard output or the console the program was started
// from; a message box when there is neither.
void ShowUsage() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  DWORD written = 0;
  const auto length = static_cast<DWORD>(std::strlen(kUsage));
  if (out && out != INVALID_HANDLE_VALUE && WriteFile(out, kUsage, length, &written, nullptr) && written == length)
    return;
  MessageBoxA(nullptr, kUsage, kApplicationTitle, MB_OK | MB_ICONINFORMATION);
}

void RunWizard(HINSTANCE instance, const std::string& commandLine, const TProgramHooks& hooks) {
  // The layout's pictures are read through the registered picture classes.
  RegisterGIFImage();
  TQuickFormOptions options;
  options.CommandLine = commandLine;
  options.AfterPagePaint = hooks.AfterPagePaint;
  TQuickForm form(instance, LoadLayoutResource(instance), std::move(options));
  if (hooks.Created) hooks.Created(form);
  form.Show();
  if (hooks.Shown) hooks.Shown(form);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (form.TranslateDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int RunProgram(HINSTANCE instance, const std::string& commandLine, const TProgramHooks& hooks) {
  if (StartModeOf(commandLine) == smUsage) {
    ShowUsage();
    return 0;
  }
  DeclareDpiAwareness();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    RunWizard(instance, commandLine, hooks);
    return 0;
  } catch (...) {
    MessageBoxA(nullptr, CaughtFailureText(), kApplicationTitle, MB_OK | MB_ICONSTOP);
  }
  return 1;
}

}  // namespace quickintro
