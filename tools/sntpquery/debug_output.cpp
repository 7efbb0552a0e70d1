#include "tools/sntpquery/debug_output.h"

#include <cstring>

namespace {

// The shared buffer: the writer's process id, then its text.
constexpr DWORD kBufferSize = 4096;
constexpr DWORD kLongestMarkerWaitMs = 5000;

}  // namespace

TDebugOutputCatcher::TDebugOutputCatcher() {
  bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
  const bool taken = GetLastError() == ERROR_ALREADY_EXISTS;
  dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
  buffer_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
  if (buffer_) view_ = static_cast<const char*>(MapViewOfFile(buffer_, FILE_MAP_READ, 0, 0, kBufferSize));
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  markerSeen_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  catching_ = !taken && bufferReady_ && dataReady_ && view_ && stop_ && markerSeen_;
  if (catching_) thread_ = std::thread([this] { Catch(); });
}

TDebugOutputCatcher::~TDebugOutputCatcher() {
  if (thread_.joinable()) {
    SetEvent(stop_);
    thread_.join();
  }
  if (view_) UnmapViewOfFile(view_);
  for (HANDLE handle : {bufferReady_, dataReady_, buffer_, stop_, markerSeen_}) {
    if (handle) CloseHandle(handle);
  }
}

// Says it is ready, then takes what a writer put in the buffer.
void TDebugOutputCatcher::Catch() {
  const HANDLE events[] = {dataReady_, stop_};
  for (;;) {
    SetEvent(bufferReady_);
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return;
    DWORD process = 0;
    std::memcpy(&process, view_, sizeof process);
    char text[kBufferSize - sizeof process + 1] = {};
    std::memcpy(text, view_ + sizeof process, kBufferSize - sizeof process);
    if (process == GetCurrentProcessId()) Keep(text);
  }
}

void TDebugOutputCatcher::Keep(const char* text) {
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!marker_.empty() && line == marker_) {
    SetEvent(markerSeen_);
    return;
  }
  lines_.push_back(line);
}

// Writers take turns, so a line of its own that comes back last tells that
// every line before it has been caught.
std::vector<std::string> TDebugOutputCatcher::TakeLines() {
  if (!catching_) return {};
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    marker_ = "sntpquery: end of the lines of " + std::to_string(GetTickCount());
  }
  OutputDebugStringA((marker_ + "\n").c_str());
  WaitForSingleObject(markerSeen_, kLongestMarkerWaitMs);
  const std::lock_guard<std::mutex> lock(mutex_);
  marker_.clear();
  std::vector<std::string> lines;
  lines.swap(lines_);
  return lines;
}
