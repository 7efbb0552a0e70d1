#pragma once
// The wizard's diagnostics, where Windows keeps a program's: debug output,
// which a debugger or a debug output viewer shows. The boundaries that catch
// a failure and must not let it through (the window procedures, painting a
// picture) tell there what they caught. Win32.

namespace quickintro {

// Writes "Quick Introduction > " where, ": " and what as one line; a line
// longer than a viewer shows is cut. Never throws, never allocates.
void WriteDebugLine(const char* where, const char* what) noexcept;

// Called inside a catch block: the exception's what(), or "Unexpected
// failure" for one that is no standard exception. Valid while that catch
// block runs.
const char* CaughtFailureText() noexcept;

}  // namespace quickintro
