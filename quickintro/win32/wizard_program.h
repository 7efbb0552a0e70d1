#pragma once
// quickintro.exe as a program: its command line, its start and its message
// loop. The shipped program runs it as it is; the scripted test build
// (tools/quickintro_scripted) adds its hooks. Win32.
#include <windows.h>

#include <functional>
#include <string>

#include "quickintro/win32/quick_form.h"

namespace quickintro {

// What a test build may add to a run; the shipped program sets none.
struct TProgramHooks {
  std::function<void(TQuickForm& form)> Created;  // the window exists, not yet shown
  std::function<void(TQuickForm& form)> Shown;    // the window has just been shown
  std::function<void()> AfterPagePaint;           // after each page paint
};

// The program: "--help" as the first argument prints the usage; anything
// else runs the wizard, in first-run mode when the first argument is
// "init", until its window closes. Later arguments are ignored. Returns the
// exit status: 0 when the wizard ran or the usage was shown, 1 when the
// wizard could not start (the reason is shown in a message box).
int RunProgram(HINSTANCE instance, const std::string& commandLine, const TProgramHooks& hooks = {});

}  // namespace quickintro
