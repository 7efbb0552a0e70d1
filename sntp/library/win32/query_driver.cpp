#include "sntp/library/win32/query_driver.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "sntp/library/log_line.h"
#include "sntp/library/query_rules.h"
#include "sntp/client/server_hold_back.h"
#include "sntp/client/sntp_client.h"
#include "sntp/socket/win32/resolve.h"
#include "sntp/socket/win32/winsock_api.h"
#include "sntp/common/failure_text.h"
#include "sntp/win32/debug_output.h"
#include "sntp/win32/handles.h"
#include "sntp/library/win32/log_file.h"
#include "sntp/win32/message_window.h"
#include "sntp/platform/win32/system_platform.h"

namespace sntp {

namespace {

// Library-wide state. The exports may come from any thread of the clock, one
// query at a time: Lock guards the client and the claim of the one query.
// The running query's result handlers run on its own thread, in the wait's
// message dispatch; the code and the offset are stored before Waiting is
// released all the same, and read only after Waiting has been seen false.
struct TLibraryState {
  TSystemPlatform Platform;
  // The servers that asked, by kiss-o'-death, not to be asked (so often):
  // kept for as long as the library is loaded, clean-ups included, so that
  // a caller that cleans up between queries still obeys them. Only the
  // query's thread reads and changes it.
  TServerHoldBack HoldBack{[] { return std::chrono::steady_clock::now(); }};

  std::mutex Lock;
  std::unique_ptr<TSNTP> Client;  // guarded by Lock; the running query's own
  bool QueryRunning = false;      // guarded by Lock
  // A clean-up came while the query ran: the query ends at once, and its
  // thread carries the clean-up out as it returns.
  std::atomic<bool> CleanUpRequested{false};

  std::atomic<uint16_t> QueryResult{qrOk};
  std::atomic<double> QueryOffset{0.0};
  std::atomic<bool> Waiting{false};
  std::atomic<void*> LoopFunction{nullptr};
  // Set after every result and by a clean-up, so that the wait ends at once.
  TKernelHandle ResultEvent{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
};

// Made at load and freed at unload, but never by the C runtime's own
// shutdown: a process may end while a query runs on another thread.
std::unique_ptr<TLibraryState> Library;

TLibraryState& State() { return *Library; }

// Every query's end, with its code, in the library's debug output.
void ResultTrace(uint16_t code) {
  const std::string number = std::to_string(code);
  WriteDebugLine("result: code ", (number + " " + ResultText(code)).c_str());
}

void StoreResult(uint16_t code, double offset) {
  ResultTrace(code);
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

// What the client did and why, where a person looking at a Windows desktop
// reads a library's diagnostics: debug output. The client's lines start
// with "SNTP > " already.
void TraceStep(TComponent*, const std::string& text) { WriteDebugText(text.c_str()); }

// An address of the server asks not to be asked now; the client goes on
// with the next one, and ends with a time-out when none is left.
void ReportHeldBack(TComponent*, const std::string& reason) { WriteDebugLine(reason.c_str()); }

void ReportListenUnavailable(TComponent* sender, uint16_t error) {
  const auto* client = static_cast<const TSNTPClient*>(sender);
  WriteDebugLine(("listening port " + client->ListenPort() + " not available (Winsock error " +
                  std::to_string(error) + "): the reply is awaited on the sending port alone")
                     .c_str());
}

// On the claimed query's thread.
TSNTP& ClientForQuery() {
  TLibraryState& state = State();
  const std::lock_guard<std::mutex> lock(state.Lock);
  if (state.Client) return *state.Client;
  auto client = std::make_unique<TSNTP>(state.Platform, state.HoldBack);
  client->SetHostPort("123");
  client->SetTimeout(kQueryTimeoutMs);
  client->OnDataAvailable = ReportOk;
  client->OnResolveError = ReportResolveError;
  client->OnReceiveError = ReportResolveError;
  client->OnTimeout = ReportTimeout;
  client->OnWinsockError = ReportWinsockError;
  client->OnHeldBack = ReportHeldBack;
  client->OnListenUnavailable = ReportListenUnavailable;
  client->OnTrace = TraceStep;
  state.Client = std::move(client);
  WriteLog("SNTP Object is created");
  return *state.Client;
}

// With Lock held and no query running.
void ReleaseClient() noexcept {
  TLibraryState& state = State();
  try {
    if (state.Client) state.Client->ReleaseResources();
  } catch (...) {
    // The client goes all the same.
    WriteDebugLine("releasing the client's sockets and timer failed: ", CaughtFailureText());
  }
  state.Client.reset();
}

bool StillWaiting() { return State().Waiting.load(std::memory_order_acquire); }

// The deadline has passed: the client ends an exchange in which nothing was
// received. If it already ended it on a reply that came late, it fires
// nothing more, and the query has timed out all the same.
void EndAtDeadline(TSNTP& client) {
  client.HandleTimeout(nullptr);
  if (StillWaiting()) StoreResult(qrTimeout, kFailureOffset);
}

// Takes the calling thread's messages one at a time, so that the result and
// the deadline are looked at between any two of them: the queue of a desktop
// program is rarely empty (a window that repaints itself, a slow timer, a
// message loop of posted messages, a flood of datagrams), and a wait that
// looked only once it was empty would never end. With nothing to take, it
// sleeps until a message comes, the result is stored or the deadline passes.
// A WM_QUIT taken off the queue meanwhile is posted again when the query is
// over, so that the caller's message loop still ends.
void WaitForResult(TSNTP& client, uint32_t deadline) {
  TLibraryState& state = State();
  TQuitRequest quit;
  while (StillWaiting()) {
    if (state.CleanUpRequested.load()) {
      StoreResult(qrTimeout, kFailureOffset);  // nothing may answer it any more
    } else if (DeadlinePassed(GetTickCount(), deadline)) {
      EndAtDeadline(client);
    } else if (!DispatchOneMessage(quit)) {
      WaitForMessages(MillisecondsUntilPast(GetTickCount(), deadline), state.ResultEvent.get());
    }
  }
  if (quit.Seen) PostQuitMessage(quit.ExitCode);
}

// One exchange on the calling thread: the client's sockets, their windows
// and its timer are made for it and go with it, so that nothing of a query
// is left to a thread that may end, block or never pump its messages again.
uint16_t RunClaimedQuery(const char* server, double* offset) {
  TLibraryState& state = State();
  const TWinsockUser winsock;  // outlives the sockets, whatever the query makes
  if (state.ResultEvent) ResetEvent(state.ResultEvent.get());
  state.Waiting.store(true, std::memory_order_release);
  TSNTP* client = nullptr;
  uint32_t deadline = 0;
  try {
    client = &ClientForQuery();
    client->SetHostAddr(server ? server : "");
    WriteLog("Querying " + client->HostAddr());
    deadline = GetTickCount() + static_cast<uint32_t>(client->Timeout());
    client->Query();
  } catch (const std::exception& failure) {
    // The client, its sockets or this host's addresses could not be had.
    WriteDebugLine("the query could not start: ", failure.what());
    StoreResult(qrResolveError, kFailureOffset);
  }
  if (client) {
    WaitForResult(*client, deadline);
    client->ReleaseResources();
  }
  const double result = state.QueryOffset.load(std::memory_order_relaxed);
  if (offset) *offset = result;
  return state.QueryResult.load(std::memory_order_relaxed);
}

// The library serves one query at a time: a second one, from another
// thread or from a window procedure of the caller during the wait, is
// refused.
bool ClaimQuery() {
  TLibraryState& state = State();
  const std::lock_guard<std::mutex> lock(state.Lock);
  if (state.QueryRunning) return false;
  state.QueryRunning = true;
  state.CleanUpRequested.store(false);
  return true;
}

// A clean-up that came during the query is carried out now.
void EndClaim() noexcept {
  TLibraryState& state = State();
  const std::lock_guard<std::mutex> lock(state.Lock);
  state.QueryRunning = false;
  if (!state.CleanUpRequested.exchange(false)) return;
  ReleaseClient();
  WriteLog("SNTP Object is destroyed");
}

uint16_t RefuseQuery(const char* server, double* offset) noexcept {
  try {
    WriteLog(std::string("Query of ") + (server ? server : "") + " refused: another query is running");
  } catch (const std::exception& failure) {
    // Not even the line could be made; the refusal stands.
    WriteDebugLine("a query was refused, another one running; the log line could not be made: ", failure.what());
  }
  if (offset) *offset = kFailureOffset;
  return qrWinsockError;
}

}  // namespace

uint16_t RunQuery(const char* server, double* offset) noexcept {
  if (!ClaimQuery()) return RefuseQuery(server, offset);
  uint16_t code = qrResolveError;
  try {
    code = RunClaimedQuery(server, offset);
  } catch (...) {
    // Nothing leaves an export.
    WriteDebugLine("the query failed: ", CaughtFailureText());
    State().Waiting.store(false, std::memory_order_release);
    if (offset) *offset = kFailureOffset;
  }
  EndClaim();
  return code;
}

// From any thread. During a query the clean-up is left to the query's own
// thread, which alone can destroy its windows: the query ends at once, and
// the client is freed as it returns.
void CleanUp() noexcept {
  TLibraryState& state = State();
  const std::lock_guard<std::mutex> lock(state.Lock);
  if (state.QueryRunning) {
    state.CleanUpRequested.store(true);
    if (state.ResultEvent) SetEvent(state.ResultEvent.get());
    return;
  }
  ReleaseClient();
  WriteLog("SNTP Object is destroyed");
}

// Winsock is started for the call and released after it, unless a query on
// another thread uses it.
bool IsConnected() noexcept {
  bool connected = true;
  try {
    const TWinsockUser winsock;
    connected = HasNetworkAddress(GetLocalAddresses());
  } catch (...) {
    // Winsock cannot be had, or this host's name cannot be read: no host
    // entry, which counts as connected.
    WriteDebugLine("isConnected found no host entry: ", CaughtFailureText());
  }
  return connected;
}

void SetLoopFunction(void* function) noexcept { State().LoopFunction.store(function); }

bool LibraryLoaded() noexcept {
  try {
    Library = std::make_unique<TLibraryState>();
  } catch (...) {
    WriteDebugLine("the library cannot start: ", CaughtFailureText());
    return false;
  }
  WriteLog(LoadMarkerMessage());
  return true;
}

// Runs under Windows' loader lock: nothing here waits, joins a thread, or
// calls Winsock or the window manager. Between queries the client holds no
// socket, window or thread, so it goes with the library.
void LibraryUnloading(bool processEnding) noexcept {
  if (!Library) return;
  bool queryRunning = true;
  {
    const std::unique_lock<std::mutex> lock(Library->Lock, std::try_to_lock);
    if (lock.owns_lock()) queryRunning = Library->QueryRunning;
  }
  // The process is ending, its other threads gone mid-call, or a thread
  // unloads the library while another one queries: nothing is torn down.
  if (processEnding || queryRunning) {
    static_cast<void>(Library.release());
    return;
  }
  Library.reset();
}

}  // namespace sntp
