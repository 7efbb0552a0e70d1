#pragma once
// The library's diagnostics, where Windows keeps a library's: debug output,
// which a debugger or a debug output viewer shows (and sntpquery --trace
// prints). It costs nothing while nobody watches, and never changes what
// the clock reads.
namespace sntp {

// Writes "SNTP > " What Detail as one line; a line longer than a viewer
// shows is cut. Never throws, never allocates: boundaries that catch a
// failure call it to tell what they caught.
void WriteDebugLine(const char* what, const char* detail = "") noexcept;

// Writes Line, whose "SNTP > " is its own, as one line.
void WriteDebugText(const char* line) noexcept;

}  // namespace sntp
