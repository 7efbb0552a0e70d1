#include "sntp/library/win32/log_file.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "sntp/common/failure_text.h"
#include "sntp/library/log_line.h"
#include "sntp/platform/win32/system_platform.h"
#include "sntp/win32/debug_output.h"
#include "sntp/win32/handles.h"

namespace sntp {

namespace {

// The exports may log from several threads; each line is written whole,
// and a new log started, by one thread at a time.
std::mutex LogLock;

// The full path of the process's main executable, not of this library. Read
// wide: the ANSI form turns a folder name outside the ANSI code page into
// '?' and names a file that cannot be opened.
std::wstring ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring LogPath() {
  const std::wstring executable = ExecutablePath();
  const std::u16string log = LogFilePathFor(std::u16string(executable.begin(), executable.end()));
  return std::wstring(log.begin(), log.end());
}

std::string LocaleTimeSeparator() {
  char separator[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator) <= 1) return ":";
  return separator;
}

// Appending only, so that every write lands at the end whoever else writes;
// readable, to see how the last line ended.
TKernelHandle OpenForAppending(const std::wstring& path) {
  return OwnKernelHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
}

uint64_t FileSize(HANDLE file) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// A line that an earlier write left unfinished (a full disk, a process that
// ended mid-write) is ended first, so that the next line stands on its own.
bool EndsMidLine(HANDLE file, uint64_t size) {
  if (size == 0) return false;
  LARGE_INTEGER last{};
  last.QuadPart = static_cast<LONGLONG>(size - 1);
  char byte = '\n';
  DWORD read = 0;
  if (!SetFilePointerEx(file, last, nullptr, FILE_BEGIN) || !ReadFile(file, &byte, 1, &read, nullptr)) return false;
  return read == 1 && byte != '\n';
}

// The log grown to its limit is kept as sntp.log.1 and a new one started.
// Where it cannot be set aside (a viewer holds sntp.log.1 open), the line is
// not written: the log stays within its bound.
TKernelHandle OpenWithRoom(const std::wstring& path, std::size_t lineLength) {
  TKernelHandle file = OpenForAppending(path);
  if (!file) {
    const std::string error = std::to_string(GetLastError());
    WriteDebugLine("sntp.log cannot be opened: Windows error ", error.c_str());
    return nullptr;
  }
  if (!LogNeedsRenewal(FileSize(file.get()), lineLength)) return file;
  file.reset();
  const std::u16string kept = KeptLogPathFor(std::u16string(path.begin(), path.end()));
  if (!MoveFileExW(path.c_str(), std::wstring(kept.begin(), kept.end()).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const std::string error = std::to_string(GetLastError());
    WriteDebugLine("sntp.log is full and sntp.log.1 cannot be replaced: Windows error ", error.c_str());
    return nullptr;
  }
  return OpenForAppending(path);
}

void AppendLine(const std::wstring& path, const std::string& line) {
  const std::lock_guard<std::mutex> lock(LogLock);
  const std::size_t longest = line.size() + 2;  // with the end of an unfinished line before it
  const TKernelHandle file = OpenWithRoom(path, longest);
  if (!file) return;
  const std::string text = (EndsMidLine(file.get(), FileSize(file.get())) ? "\r\n" : "") + line;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void WriteLog(std::string_view message) noexcept {
  try {
    AppendLine(LogPath(), FormatLogLine(LocalTimeNow(), LocaleTimeSeparator(), message));
  } catch (...) {
    // A log line is never worth a failed query.
    WriteDebugLine("sntp.log not written: ", CaughtFailureText());
  }
}

}  // namespace sntp
