#pragma once
// Every Winsock call of the library goes through this binding: the first
// call of any Winsock function loads the system's "wsock32.dll", from the
// system directory, and starts Winsock 1.1, and each function is fetched by
// name on its own first call. Whoever calls Winsock is one of its users
// while it does: every socket object, and every export that calls it without
// a socket. The last user to go stops and releases Winsock again; never
// while the library is being unloaded, where Windows holds its loader lock.
// The clock may call the exports from several threads, so the binding is
// safe from any thread.
//
// Each function is named once, in SNTP_WINSOCK_FUNCTIONS. The list gives
// wsapi:: one table entry per function, of Winsock's own name and type and
// called like the function itself: wsapi::socket(AF_INET, SOCK_DGRAM, 0).
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

// The Winsock 1.1 functions the library calls, but WSAStartup and
// WSACleanup, which only the binding itself calls.
#define SNTP_WINSOCK_FUNCTIONS(X)                                                                                     \
  X(WSASetLastError) X(WSAGetLastError) X(WSACancelAsyncRequest)                        \
  X(WSAAsyncGetHostByName) X(WSAAsyncGetHostByAddr) X(WSAAsyncSelect) X(getservbyname) X(getprotobyname)             \
  X(gethostbyname) X(gethostname) X(socket) X(shutdown) X(setsockopt) X(sendto) X(send) X(recv) X(recvfrom)         \
  X(ntohs) X(listen) X(ioctlsocket) X(inet_ntoa) X(inet_addr) X(htons) X(getsockname) X(getpeername) X(connect)      \
  X(closesocket) X(bind) X(accept)

namespace sntp {

// A user of Winsock comes and goes; the last one to go stops and releases
// it (WSACleanup and the release of the library, every table entry emptied,
// so that the next call loads and starts it again).
void AddWinsockUser();
void RemoveWinsockUser();

// Stops and releases Winsock unless a user holds it: for a call made without
// a user, which loaded it all the same.
void ReleaseWinsockIfUnused();

// A user of Winsock for as long as it lives.
class TWinsockUser {
 public:
  TWinsockUser() { AddWinsockUser(); }
  ~TWinsockUser() { RemoveWinsockUser(); }
  TWinsockUser(const TWinsockUser&) = delete;
  TWinsockUser& operator=(const TWinsockUser&) = delete;
};

// Loads and starts Winsock when needed, then fetches Name; nullptr for an
// empty name. Raises ESocketException when the library, its start-up or
// the procedure fails.
FARPROC BindWinsockProc(const std::string& name);

// One entry of the table: called like the Winsock function Procedure, whose
// exact type (calling convention included) the call goes through.
template <class Procedure>
class TWinsockEntry {
 public:
  explicit constexpr TWinsockEntry(const char* name) : name_(name) {}

  template <class... Arguments>
  auto operator()(Arguments&&... arguments) {
    Procedure procedure = procedure_.load(std::memory_order_acquire);
    if (procedure == nullptr) {
      // GetProcAddress hands out an untyped address; the entry gives it its type.
      procedure = reinterpret_cast<Procedure>(reinterpret_cast<void*>(BindWinsockProc(name_)));
      procedure_.store(procedure, std::memory_order_release);
    }
    return procedure(std::forward<Arguments>(arguments)...);
  }

  void Forget() { procedure_.store(nullptr, std::memory_order_release); }

 private:
  const char* name_;
  // Two threads may fetch it at once; both find the same address.
  std::atomic<Procedure> procedure_{nullptr};
};

namespace wsapi {

#define SNTP_WINSOCK_DECLARE(Name) extern TWinsockEntry<decltype(&::Name)> Name;
SNTP_WINSOCK_FUNCTIONS(SNTP_WINSOCK_DECLARE)
#undef SNTP_WINSOCK_DECLARE

}  // namespace wsapi
}  // namespace sntp
