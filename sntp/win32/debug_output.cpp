#include "sntp/win32/debug_output.h"

#include <windows.h>

#include <cstdio>

namespace sntp {

namespace {

// The longest line a debug output viewer is sure to show whole.
constexpr size_t kLongestLine = 1024;

}  // namespace

void WriteDebugLine(const char* what, const char* detail) noexcept {
  char line[kLongestLine];
  std::snprintf(line, sizeof line, "SNTP > %s%s\n", what ? what : "", detail ? detail : "");
  OutputDebugStringA(line);
}

void WriteDebugText(const char* text) noexcept {
  char line[kLongestLine];
  std::snprintf(line, sizeof line, "%s\n", text ? text : "");
  OutputDebugStringA(line);
}

}  // namespace sntp
