#include "sntp/query_driver.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sntp/log_file.h"
#include "sntp/log_line.h"
#include "sntp/query_rules.h"
#include "sntp/sntp_client.h"
#include "sntp/socket/resolve.h"

namespace sntp {

namespace {

// Library-wide state. The result may be written by a handler on another
// thread (the client's timer): the code and the offset are stored before
// Waiting is released, and read only after Waiting has been seen false.
struct TLibraryState {
  std::unique_ptr<TSNTP> Client;
  std::atomic<uint16_t> QueryResult{qrOk};
  std::atomic<double> QueryOffset{0.0};
  std::atomic<bool> Waiting{false};
  // A QueryServer is under way on the caller's thread; one that a window
  // procedure of the caller starts during its wait is refused.
  bool QueryRunning = false;
  void* LoopFunction = nullptr;
  // Set after every result, so that a result from another thread ends the
  // wait at once.
  HANDLE ResultEvent = nullptr;
};

// Made at load and freed at unload, but never by the C runtime's own
// shutdown: a process may end with a client still present, and its sockets
// and threads must not be torn down then.
TLibraryState* LibraryState = nullptr;

TLibraryState& State() { return *LibraryState; }

// Names of the results; nothing reads them.
void ResultTrace(const char* Text) {}

void StoreResult(uint16_t Code, double Offset) {
  ResultTrace(ResultText(Code));
  TLibraryState& state = State();
  state.QueryResult.store(Code, std::memory_order_relaxed);
  state.QueryOffset.store(Offset, std::memory_order_relaxed);
  state.Waiting.store(false, std::memory_order_release);
  if (state.ResultEvent) SetEvent(state.ResultEvent);
}

void ReportOk(TComponent* Sender, uint16_t Error) {
  const auto* client = static_cast<const TSNTPClient*>(Sender);
  StoreResult(qrOk, client->Reply().ServerTime - LocalNowDays());
}
void ReportTimeout(TComponent*) { StoreResult(qrTimeout, kFailureOffset); }
void ReportWinsockError(TComponent*, uint16_t) { StoreResult(qrWinsockError, kFailureOffset); }
void ReportResolveError(TComponent*) { StoreResult(qrResolveError, kFailureOffset); }

TSNTP& CreateClient() {
  auto client = std::make_unique<TSNTP>();
  client->SetHostPort("123");
  client->SetTimeout(kQueryTimeoutMs);
  client->OnDataAvailable = ReportOk;
  client->OnResolveError = ReportResolveError;
  client->OnReceiveError = ReportResolveError;
  client->OnTimeout = ReportTimeout;
  client->OnWinsockError = ReportWinsockError;
  State().Client = std::move(client);
  WriteLog("SNTP Object is created");
  return *State().Client;
}

// A WM_QUIT taken off the queue while a query runs, to be posted again when
// the query is over so that the caller's message loop still ends.
struct TQuitRequest {
  bool Seen = false;
  int ExitCode = 0;
};

// Dispatches every message waiting for the calling thread.
void DrainMessageQueue(TQuitRequest& Quit) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      Quit = {true, static_cast<int>(message.wParam)};
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Sleeps until a message arrives, a result is stored, or the deadline has
// passed, whichever comes first.
void SleepUntilNextPass(uint32_t Deadline) {
  const DWORD milliseconds = MillisecondsUntilPast(GetTickCount(), Deadline);
  HANDLE event = State().ResultEvent;
  MsgWaitForMultipleObjectsEx(event ? 1 : 0, event ? &event : nullptr, milliseconds, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

bool StillWaiting() { return State().Waiting.load(std::memory_order_acquire); }

// The deadline has passed: the client ends an exchange in which nothing was
// received. If it already ended it on a datagram that it rejected or found
// late, it fires nothing more, and the query has timed out all the same.
void EndAtDeadline() {
  if (TSNTP* client = State().Client.get()) client->HandleTimeout(nullptr);
  if (StillWaiting()) StoreResult(qrTimeout, kFailureOffset);
}

// One pass per wake-up: deliver the messages, then the deadline test.
void WaitForResult(uint32_t Deadline) {
  TQuitRequest quit;
  while (StillWaiting()) {
    DrainMessageQueue(quit);
    if (StillWaiting() && DeadlinePassed(GetTickCount(), Deadline)) EndAtDeadline();
    // A window procedure of the caller released the client while the query
    // waited: nothing can answer it any more.
    if (StillWaiting() && !State().Client) StoreResult(qrTimeout, kFailureOffset);
    if (StillWaiting()) SleepUntilNextPass(Deadline);
  }
  if (quit.Seen) PostQuitMessage(quit.ExitCode);
}

uint16_t RunQueryOrThrow(const char* Server, double* Offset) {
  TLibraryState& state = State();
  if (state.ResultEvent) ResetEvent(state.ResultEvent);
  state.Waiting.store(true, std::memory_order_release);
  TSNTP* client = state.Client.get();
  uint32_t deadline = 0;
  try {
    if (!client) client = &CreateClient();
    client->SetHostAddr(Server ? Server : "");
    WriteLog("Querying " + client->HostAddr());
    deadline = GetTickCount() + static_cast<uint32_t>(client->Timeout());
    client->Query();
  } catch (...) {
    // The client, its sockets or this host's addresses could not be had.
    StoreResult(qrResolveError, kFailureOffset);
  }
  WaitForResult(deadline);
  const double offset = state.QueryOffset.load(std::memory_order_relaxed);
  if (Offset) *Offset = offset;
  return state.QueryResult.load(std::memory_order_relaxed);
}

// Marks the query under way for as long as it runs.
class TRunningQuery {
 public:
  explicit TRunningQuery(bool& Running) : Running(Running) { Running = true; }
  ~TRunningQuery() { Running = false; }
  TRunningQuery(const TRunningQuery&) = delete;
  TRunningQuery& operator=(const TRunningQuery&) = delete;

 private:
  bool& Running;
};

}  // namespace

uint16_t RunQuery(const char* Server, double* Offset) noexcept {
  // Another query would take over the running one's sockets and result.
  if (State().QueryRunning) {
    if (Offset) *Offset = kFailureOffset;
    return qrWinsockError;
  }
  const TRunningQuery running(State().QueryRunning);
  try {
    return RunQueryOrThrow(Server, Offset);
  } catch (...) {
    State().Waiting.store(false, std::memory_order_release);
    if (Offset) *Offset = kFailureOffset;
    return qrResolveError;
  }
}

void CleanUp() noexcept {
  try {
    TLibraryState& state = State();
    if (state.Client) state.Client->ReleaseResources();
    state.Client.reset();
  } catch (...) {
  }
  WriteLog("SNTP Object is destroyed");
}

bool IsConnected() noexcept {
  WSADATA data;
  const bool started = WSAStartup(0x0101, &data) == 0;
  std::vector<std::string> addresses;
  try {
    char name[64] = {};
    const hostent* entry = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : nullptr;
    for (char** address = entry ? entry->h_addr_list : nullptr; address && *address; ++address) {
      in_addr value;
      std::memcpy(&value, *address, sizeof value);
      addresses.emplace_back(inet_ntoa(value));
    }
  } catch (...) {
    addresses.clear();
  }
  if (started) WSACleanup();
  return HasNetworkAddress(addresses);
}

void SetLoopFunction(void* Function) noexcept { State().LoopFunction = Function; }

bool LibraryLoaded() noexcept {
  try {
    SocketComponentStartup();
    LibraryState = new TLibraryState;
  } catch (...) {
    return false;
  }
  LibraryState->ResultEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  WriteLog(LoadMarkerMessage());
  return true;
}

void LibraryUnloading(bool ProcessEnding) noexcept {
  if (ProcessEnding || !LibraryState) return;
  TLibraryState& state = State();
  // A client left by a caller that skipped the clean-up still has windows
  // whose procedure lives in this library: take them down before it goes.
  try {
    if (state.Client) state.Client->ReleaseResources();
    state.Client.reset();
  } catch (...) {
  }
  if (state.ResultEvent) CloseHandle(state.ResultEvent);
  delete LibraryState;
  LibraryState = nullptr;
  try {
    SocketComponentShutdown();
  } catch (...) {
  }
}

}  // namespace sntp
