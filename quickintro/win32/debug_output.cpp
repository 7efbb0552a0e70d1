#include "quickintro/win32/debug_output.h"

#include <windows.h>

#include <cstdio>
#include <exception>

namespace quickintro {
namespace {

// The longest line a debug output viewer is sure to show whole.
constexpr size_t kLongestLine = 1024;

}  // namespace

void WriteDebugLine(const char* where, const char* what) noexcept {
  char line[kLongestLine];
  std::snprintf(line, sizeof line, "Quick Introduction > %s: %s\n", where ? where : "", what ? what : "");
  OutputDebugStringA(line);
}

const char* CaughtFailureText() noexcept {
  try {
    throw;
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "Unexpected failure";
  }
}

}  // namespace quickintro
