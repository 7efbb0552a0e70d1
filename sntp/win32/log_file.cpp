#include "sntp/win32/log_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "sntp/log_line.h"
#include "sntp/win32/handles.h"
#include "sntp/win32/system_platform.h"

namespace sntp {

namespace {

// The full path of the process's main executable, not of this library. Read
// wide: the ANSI form turns a folder name outside the ANSI code page into
// '?' and names a file that cannot be opened.
std::u16string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::u16string(buffer.data(), buffer.data() + length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string LocaleTimeSeparator() {
  char separator[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator) <= 1) return ":";
  return separator;
}

void AppendToFile(const std::u16string& path, const std::string& text) {
  const std::wstring widePath(path.begin(), path.end());
  const TKernelHandle file = OwnKernelHandle(CreateFileW(widePath.c_str(), FILE_APPEND_DATA,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void WriteLog(std::string_view message) noexcept {
  try {
    const std::string line = FormatLogLine(LocalTimeNow(), LocaleTimeSeparator(), message);
    AppendToFile(LogFilePathFor(ExecutablePath()), line);
  } catch (...) {
    // A log line is never worth a failed query.
  }
}

}  // namespace sntp
