#pragma once
// The debug output of this process (OutputDebugString, where SNTP.dll tells
// what it does and why), caught as a debug output viewer catches it: through
// the system's one shared buffer, which a writer fills only when a viewer
// has said it is ready.
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TDebugOutputCatcher {
 public:
  // Starts catching. Another viewer running (or a debugger) keeps the lines.
  TDebugOutputCatcher();
  ~TDebugOutputCatcher();
  TDebugOutputCatcher(const TDebugOutputCatcher&) = delete;
  TDebugOutputCatcher& operator=(const TDebugOutputCatcher&) = delete;

  // False when the buffer belongs to another viewer.
  bool Catching() const { return catching_; }
  // The lines this process wrote since the last call, in order, each
  // without its line end.
  std::vector<std::string> TakeLines();

 private:
  void Catch();
  void Keep(const char* text);

  HANDLE bufferReady_ = nullptr;
  HANDLE dataReady_ = nullptr;
  HANDLE buffer_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE markerSeen_ = nullptr;
  const char* view_ = nullptr;
  bool catching_ = false;
  std::mutex mutex_;  // guards lines_ and marker_
  std::vector<std::string> lines_;
  std::string marker_;
  std::thread thread_;
};
