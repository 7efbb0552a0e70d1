#include "sntp/win32/query_driver.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "sntp/log_line.h"
#include "sntp/query_rules.h"
#include "sntp/server_hold_back.h"
#include "sntp/sntp_client.h"
#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"
#include "sntp/win32/handles.h"
#include "sntp/win32/log_file.h"
#include "sntp/win32/message_window.h"
#include "sntp/win32/system_platform.h"

namespace sntp {

namespace {

// Library-wide state. Every result handler runs in the caller's thread, in
// the wait's message dispatch; the code and the offset are stored before
// Waiting is released all the same, and read only after Waiting has been
// seen false.
struct TLibraryState {
  TSystemPlatform Platform;
  // The servers that asked, by kiss-o'-death, not to be asked (so often):
  // kept for as long as the library is loaded, clean-ups included, so that
  // a caller that cleans up between queries still obeys them.
  TServerHoldBack HoldBack{[] { return std::chrono::steady_clock::now(); }};
  std::unique_ptr<TSNTP> Client;
  std::atomic<uint16_t> QueryResult{qrOk};
  std::atomic<double> QueryOffset{0.0};
  std::atomic<bool> Waiting{false};
  // A QueryServer is under way on the caller's thread; one that a window
  // procedure of the caller starts during its wait is refused.
  bool QueryRunning = false;
  void* LoopFunction = nullptr;
  // Set after every result, so that the wait ends at once.
  TKernelHandle ResultEvent{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  // Held while there is a client: its windows' procedures and its timer's
  // threads run this library's code. A caller that unloads the library
  // without the clean-up leaves it loaded, rather than have the unload tear
  // them down under Windows' loader lock, where joining the threads hangs.
  TModuleReference ClientHold;
};

// Made at load and freed at unload, but never by the C runtime's own
// shutdown: a process may end with a client still present, and its sockets
// and threads must not be torn down then.
std::unique_ptr<TLibraryState> Library;

TLibraryState& State() { return *Library; }

// Names of the results; nothing reads them.
void ResultTrace(const char* text) {}

void StoreResult(uint16_t code, double offset) {
  ResultTrace(ResultText(code));
  TLibraryState& state = State();
  state.QueryResult.store(code, std::memory_order_relaxed);
  state.QueryOffset.store(offset, std::memory_order_relaxed);
  state.Waiting.store(false, std::memory_order_release);
  if (state.ResultEvent) SetEvent(state.ResultEvent.get());
}

void ReportOk(TComponent* sender, uint16_t) {
  StoreResult(qrOk, static_cast<const TSNTPClient*>(sender)->OffsetFromLocalTime());
}
void ReportTimeout(TComponent*) { StoreResult(qrTimeout, kFailureOffset); }
void ReportWinsockError(TComponent*, uint16_t) { StoreResult(qrWinsockError, kFailureOffset); }
void ReportResolveError(TComponent*) { StoreResult(qrResolveError, kFailureOffset); }

// The server asks not to be asked now: no believable answer, and none to
// wait for, so the query times out at once rather than at its deadline.
void ReportHeldBack(TComponent*, const std::string& reason) {
  WriteLog(reason);
  StoreResult(qrTimeout, kFailureOffset);
}

void LogListenUnavailable(TComponent* sender, uint16_t error) {
  const auto* client = static_cast<const TSNTPClient*>(sender);
  WriteLog("Listening port " + client->ListenPort() + " not available (Winsock error " + std::to_string(error) +
           "): the reply is awaited on the sending port alone");
}

TSNTP& CreateClient() {
  auto client = std::make_unique<TSNTP>(State().Platform, State().HoldBack);
  client->SetHostPort("123");
  client->SetTimeout(kQueryTimeoutMs);
  client->OnDataAvailable = ReportOk;
  client->OnResolveError = ReportResolveError;
  client->OnReceiveError = ReportResolveError;
  client->OnTimeout = ReportTimeout;
  client->OnWinsockError = ReportWinsockError;
  client->OnHeldBack = ReportHeldBack;
  client->OnListenUnavailable = LogListenUnavailable;
  State().Client = std::move(client);
  State().ClientHold = ReferenceThisModule();
  WriteLog("SNTP Object is created");
  return *State().Client;
}

bool StillWaiting() { return State().Waiting.load(std::memory_order_acquire); }

// The deadline has passed: the client ends an exchange in which nothing was
// received. If it already ended it on a reply that came late, it fires
// nothing more, and the query has timed out all the same.
void EndAtDeadline() {
  if (TSNTP* client = State().Client.get()) client->HandleTimeout(nullptr);
  if (StillWaiting()) StoreResult(qrTimeout, kFailureOffset);
}

// One pass per wake-up: deliver the messages, then the deadline test. A
// WM_QUIT taken off the queue meanwhile is posted again when the query is
// over, so that the caller's message loop still ends.
void WaitForResult(uint32_t deadline) {
  TQuitRequest quit;
  while (StillWaiting()) {
    DispatchWaitingMessages(quit);
    if (StillWaiting() && DeadlinePassed(GetTickCount(), deadline)) EndAtDeadline();
    // A window procedure of the caller released the client while the query
    // waited: nothing can answer it any more.
    if (StillWaiting() && !State().Client) StoreResult(qrTimeout, kFailureOffset);
    if (StillWaiting()) WaitForMessages(MillisecondsUntilPast(GetTickCount(), deadline), State().ResultEvent.get());
  }
  if (quit.Seen) PostQuitMessage(quit.ExitCode);
}

uint16_t RunQueryOrThrow(const char* server, double* offset) {
  TLibraryState& state = State();
  if (state.ResultEvent) ResetEvent(state.ResultEvent.get());
  state.Waiting.store(true, std::memory_order_release);
  TSNTP* client = state.Client.get();
  uint32_t deadline = 0;
  try {
    if (!client) client = &CreateClient();
    client->SetHostAddr(server ? server : "");
    WriteLog("Querying " + client->HostAddr());
    deadline = GetTickCount() + static_cast<uint32_t>(client->Timeout());
    client->Query();
  } catch (...) {
    // The client, its sockets or this host's addresses could not be had.
    StoreResult(qrResolveError, kFailureOffset);
  }
  WaitForResult(deadline);
  const double result = state.QueryOffset.load(std::memory_order_relaxed);
  if (offset) *offset = result;
  return state.QueryResult.load(std::memory_order_relaxed);
}

// Marks the query under way for as long as it runs.
class TRunningQuery {
 public:
  explicit TRunningQuery(bool& running) : running_(running) { running_ = true; }
  ~TRunningQuery() { running_ = false; }
  TRunningQuery(const TRunningQuery&) = delete;
  TRunningQuery& operator=(const TRunningQuery&) = delete;

 private:
  bool& running_;
};

// Its sockets gone, Winsock is released too; the library's hold goes last,
// after everything that runs its code.
void ReleaseClient() noexcept {
  TLibraryState& state = State();
  try {
    if (state.Client) state.Client->ReleaseResources();
    state.Client.reset();
    ReleaseWinsockIfUnused();
  } catch (...) {
  }
  state.ClientHold.reset();
}

}  // namespace

uint16_t RunQuery(const char* server, double* offset) noexcept {
  // Another query would take over the running one's sockets and result.
  if (State().QueryRunning) {
    if (offset) *offset = kFailureOffset;
    return qrWinsockError;
  }
  const TRunningQuery running(State().QueryRunning);
  try {
    return RunQueryOrThrow(server, offset);
  } catch (...) {
    State().Waiting.store(false, std::memory_order_release);
    if (offset) *offset = kFailureOffset;
    return qrResolveError;
  }
}

void CleanUp() noexcept {
  ReleaseClient();
  WriteLog("SNTP Object is destroyed");
}

// Winsock is started for the call and released after it, unless a client's
// sockets use it.
bool IsConnected() noexcept {
  bool connected = true;
  try {
    connected = HasNetworkAddress(GetLocalAddresses());
  } catch (...) {
    // Winsock cannot be had, or this host's name cannot be read: no host
    // entry, which counts as connected.
  }
  try {
    ReleaseWinsockIfUnused();
  } catch (...) {
  }
  return connected;
}

void SetLoopFunction(void* function) noexcept { State().LoopFunction = function; }

bool LibraryLoaded() noexcept {
  try {
    SocketComponentStartup();
    Library = std::make_unique<TLibraryState>();
  } catch (...) {
    return false;
  }
  WriteLog(LoadMarkerMessage());
  return true;
}

// Runs under Windows' loader lock: nothing here waits, joins a thread, or
// calls Winsock or the window manager.
void LibraryUnloading(bool processEnding) noexcept {
  if (!Library) return;
  // A client holds the library loaded, so one is found here only when the
  // process is ending, its other threads gone, or when the hold could not
  // be had: it is left as it is.
  if (processEnding || Library->Client) {
    static_cast<void>(Library.release());
    return;
  }
  Library.reset();
  SocketComponentShutdown();
}

}  // namespace sntp
