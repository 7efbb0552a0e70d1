#include "sntp/log_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "sntp/log_line.h"

namespace sntp {

namespace {

class TFileHandle {
 public:
  explicit TFileHandle(HANDLE Handle) : handle_(Handle) {}
  ~TFileHandle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The full path of the process's main executable, not of this library.
std::string ExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string LocaleTimeSeparator() {
  char separator[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator) <= 1) return ":";
  return separator;
}

void AppendToFile(const std::string& Path, const std::string& Text) {
  TFileHandle file(CreateFileA(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return;
  DWORD written = 0;
  WriteFile(file.Get(), Text.data(), static_cast<DWORD>(Text.size()), &written, nullptr);
}

}  // namespace

TLocalDateTime LocalDateTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return TLocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour,
                        now.wMinute, now.wSecond, now.wMilliseconds};
}

double LocalNowDays() { return EncodeDayCount(LocalDateTimeNow()); }

void WriteLog(std::string_view Message) noexcept {
  try {
    const std::string line = FormatLogLine(LocalDateTimeNow(), LocaleTimeSeparator(), Message);
    AppendToFile(LogFilePathFor(ExecutablePath()), line);
  } catch (...) {
    // A log line is never worth a failed query.
  }
}

}  // namespace sntp
