// sntpquery: stands in for the clock application. Loads SNTP.dll by name,
// calls its exports exactly as the clock does and prints one line per query:
//   SERVER: code N TEXT, offset D days (S s)
// and, on request, how long each call took, which address answered, and
// what the library did and why (its debug output). Exit statuses in kUsage.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "sntp/library/query_rules.h"
#include "sntp/client/sntp_client.h"
#include "tools/sntpquery/debug_output.h"
#include "tools/sntpquery/register_call.h"

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitUnknownCode = 65;
constexpr int kExitUnavailable = 69;
constexpr int kExitRegisterCheck = 70;
constexpr int kExitInternal = 71;
constexpr int kExitOutput = 74;
constexpr uint16_t kHighestResultCode = 3;

const char kUsage[] =
    "usage: sntpquery [--repeat N] [--cleanup] [--timing] [--trace] SERVER...\n"
    "Asks each SERVER (dotted IPv4 address or host name) for the time through SNTP.dll.\n"
    "  --repeat N   query the list of servers N times (default 1)\n"
    "  --cleanup    call SNTPCleanUp between queries, not only at the end\n"
    "  --timing     also print how long isConnected and each QueryServer took, and\n"
    "               which address of the server answered\n"
    "  --trace      also print what SNTP.dll did in each query and why (its debug output)\n"
    "  --help       show this text\n"
    "Exit status: the result code of the last query (0 OK, 1 Timeout, 2 Winsock Error,\n"
    "3 Resolve Error); 64 usage error; 65 SNTP.dll returned a code other than 0-3;\n"
    "69 SNTP.dll or one of its exports cannot be loaded; 70 an export broke the register\n"
    "calling convention; 71 sntpquery failed otherwise; 74 the output could not be written.\n";

struct TOptions {
  std::vector<std::string> Servers;
  long Repeat = 1;
  bool CleanUpBetween = false;
  bool Timing = false;
  bool Trace = false;
  bool Help = false;
};

// Throws std::invalid_argument with the message for a usage error.
TOptions ParseOptions(int count, char** arguments) {
  TOptions options;
  for (int i = 1; i < count; ++i) {
    const std::string argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.Help = true;
    } else if (argument == "--cleanup") {
      options.CleanUpBetween = true;
    } else if (argument == "--timing") {
      options.Timing = true;
    } else if (argument == "--trace") {
      options.Trace = true;
    } else if (argument == "--repeat") {
      if (++i == count) throw std::invalid_argument("--repeat needs a count");
      char* end = nullptr;
      options.Repeat = std::strtol(arguments[i], &end, 10);
      if (*arguments[i] == '\0' || *end != '\0' || options.Repeat < 1 || options.Repeat > 1000000) {
        throw std::invalid_argument(std::string("bad repeat count '") + arguments[i] + "'");
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw std::invalid_argument("unknown option '" + argument + "'");
    } else {
      options.Servers.push_back(argument);
    }
  }
  if (!options.Help && options.Servers.empty()) throw std::invalid_argument("no server given");
  return options;
}

struct TRegisterCheckFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Milliseconds on the performance counter.
double NowMilliseconds() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The system clock in seconds since 1970, to the microsecond where Windows
// (8 and later) tells it that finely: comparable with packet capture times.
double SystemClockSeconds() {
  using TGetTime = void(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<TGetTime>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME time;
  (precise ? precise : GetSystemTimeAsFileTime)(&time);
  const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;  // 100 ns since 1601
  constexpr uint64_t k1970 = 116444736000000000ull;
  return static_cast<double>(ticks - k1970) / 1e7;
}

// Runs Call; with Timing prints "NAME took T ms (system clock S to E)".
template <typename Call>
auto Timed(bool timing, const std::string& name, Call&& run) {
  const double startClock = SystemClockSeconds();
  const double start = NowMilliseconds();
  auto result = run();
  const double elapsed = NowMilliseconds() - start;
  if (timing)
    std::printf("%s took %.3f ms (system clock %.6f to %.6f)\n", name.c_str(), elapsed, startClock,
                SystemClockSeconds());
  return result;
}

#if defined(__i386__)
std::string ClobberedNames(uint32_t mask) {
  static const char* const kNames[] = {"EBX", "ESI", "EDI", "EBP", "ESP"};
  std::string names;
  for (int bit = 0; bit < 5; ++bit) {
    if (mask & (1u << bit)) names += std::string(names.empty() ? "" : ", ") + kNames[bit];
  }
  return names;
}
#endif

// SNTP.dll and its four exports, found by name.
class TSntpLibrary {
 public:
  TSntpLibrary() = default;
  ~TSntpLibrary() {
    if (module_) FreeLibrary(module_);
  }
  TSntpLibrary(const TSntpLibrary&) = delete;
  TSntpLibrary& operator=(const TSntpLibrary&) = delete;

  // Empty on success, else what could not be loaded.
  std::string Load() {
    module_ = LoadLibraryA("SNTP.dll");
    if (!module_) return "cannot load SNTP.dll (error " + std::to_string(GetLastError()) + ")";
    const char* const names[] = {"QueryServer", "SNTPCleanUp", "isConnected", "setLoopFunction"};
    FARPROC* const slots[] = {&queryServer_, &cleanUp_, &isConnected_, &setLoopFunction_};
    for (int i = 0; i < 4; ++i) {
      *slots[i] = GetProcAddress(module_, names[i]);
      if (!*slots[i]) return std::string("SNTP.dll has no export ") + names[i];
    }
    return {};
  }

  uint16_t QueryServer(const char* server, double* offset) {
#if defined(__i386__)
    return static_cast<uint16_t>(Call(queryServer_, "QueryServer", Address(server), Address(offset)));
#else
    return As<uint16_t (*)(const char*, double*)>(queryServer_)(server, offset);
#endif
  }

  void SNTPCleanUp() {
#if defined(__i386__)
    Call(cleanUp_, "SNTPCleanUp", 0, 0);
#else
    As<void (*)()>(cleanUp_)();
#endif
  }

  bool IsConnected() {
#if defined(__i386__)
    return (Call(isConnected_, "isConnected", 0, 0) & 0xFF) != 0;
#else
    return As<bool (*)()>(isConnected_)();
#endif
  }

  void SetLoopFunction(void* function) {
#if defined(__i386__)
    Call(setLoopFunction_, "setLoopFunction", Address(function), 0);
#else
    As<void (*)(void*)>(setLoopFunction_)(function);
#endif
  }

 private:
#if !defined(__i386__)
  // x86_64 test build only: no register convention exists there, the
  // exports are plain functions of the platform's one convention.
  template <typename Function>
  static Function As(FARPROC exported) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(exported));
  }
#else
  static uint32_t Address(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

  static uint32_t Call(FARPROC function, const char* name, uint32_t eax, uint32_t edx) {
    uint32_t result = 0;
    const uint32_t clobbered =
        CallRegisterConvention(reinterpret_cast<const void*>(function), eax, edx, &result);
    if (clobbered != 0) {
      throw TRegisterCheckFailed(std::string(name) + " did not preserve " + ClobberedNames(clobbered));
    }
    return result;
  }
#endif

  HMODULE module_ = nullptr;
  FARPROC queryServer_ = nullptr;
  FARPROC cleanUp_ = nullptr;
  FARPROC isConnected_ = nullptr;
  FARPROC setLoopFunction_ = nullptr;
};

// What the clock hands to setLoopFunction; the library never calls it.
void ClockLoop() {}

// The address whose reply the library took, from its debug output; empty
// when none was taken.
std::string AnsweringAddress(const std::vector<std::string>& trace) {
  const std::string taken = sntp::kReplyTakenTrace;
  for (const std::string& line : trace) {
    if (line.compare(0, taken.size(), taken) == 0) return line.substr(taken.size(), line.find(' ', taken.size()) - taken.size());
  }
  return {};
}

// One query and its result line, with what the options ask for; returns the
// result code.
uint16_t QueryAndPrint(TSntpLibrary& library, TDebugOutputCatcher& catcher, const std::string& server,
                       const TOptions& options) {
  double days = 0.0;
  catcher.TakeLines();  // what came before is not this query's
  const uint16_t code =
      Timed(options.Timing, server + ": QueryServer", [&] { return library.QueryServer(server.c_str(), &days); });
  const std::vector<std::string> trace = catcher.TakeLines();
  if (options.Trace) {
    for (const std::string& line : trace) std::printf("%s: %s\n", server.c_str(), line.c_str());
  }
  const std::string answering = AnsweringAddress(trace);
  if (options.Timing && !answering.empty()) std::printf("%s: answered by %s\n", server.c_str(), answering.c_str());
  std::printf("%s: code %u %s, offset %.10f days (%.6f s)\n", server.c_str(), unsigned{code},
              sntp::ResultText(code), days, days * 86400.0);
  std::fflush(stdout);
  return code;
}

// The exit status: the last query's code.
int RunQueries(TSntpLibrary& library, const TOptions& options) {
  library.SetLoopFunction(reinterpret_cast<void*>(&ClockLoop));
  const bool connected = Timed(options.Timing, "isConnected", [&] { return library.IsConnected(); });
  std::printf("connected: %s\n", connected ? "yes" : "no");
  TDebugOutputCatcher catcher;
  if ((options.Timing || options.Trace) && !catcher.Catching())
    std::fprintf(stderr, "sntpquery: another debug output viewer or a debugger takes SNTP.dll's trace\n");
  uint16_t lastCode = 0;
  bool first = true;
  for (long round = 0; round < options.Repeat; ++round) {
    for (const std::string& server : options.Servers) {
      if (options.CleanUpBetween && !first) library.SNTPCleanUp();
      first = false;
      lastCode = QueryAndPrint(library, catcher, server, options);
    }
  }
  // The clock releases the library's client before it unloads the library.
  library.SNTPCleanUp();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "sntpquery: cannot write the results\n");
    return kExitOutput;
  }
  // An exit status of 256 would read as 0: success.
  return lastCode <= kHighestResultCode ? lastCode : kExitUnknownCode;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "sntpquery: %s\n%s", error.what(), kUsage);
    return kExitUsage;
  }
  if (options.Help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  TSntpLibrary library;
  const std::string loadError = library.Load();
  if (!loadError.empty()) {
    std::fprintf(stderr, "sntpquery: %s\n", loadError.c_str());
    return kExitUnavailable;
  }
  try {
    return RunQueries(library, options);
  } catch (const TRegisterCheckFailed& error) {
    std::fprintf(stderr, "sntpquery: register check failed: %s\n", error.what());
    return kExitRegisterCheck;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sntpquery: %s\n", error.what());
    return kExitInternal;
  } catch (...) {
    std::fprintf(stderr, "sntpquery: unexpected failure\n");
    return kExitInternal;
  }
}
