// quickintro.exe: the Quick Introduction to Zaradada Clock.
//
//   quickintro [init]     "init" first: first-run mode, eight pages, the
//                          clock-mode choice stored on closing
//   quickintro --help     usage
#include <windows.h>

#include "quickintro/win32/wizard_program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return quickintro::RunProgram(instance, GetCommandLineA());
}
