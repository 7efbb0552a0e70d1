#pragma once
// Every Winsock call of the library goes through this binding: the first
// call of any Winsock function loads the system's "wsock32.dll", from the
// system directory, and starts Winsock 1.1, and each function is fetched by
// name on its own first call. UnloadWinsock, run when the last socket object
// goes and when an export that used Winsock without a socket ends, stops and
// releases Winsock again; never while the library is being unloaded, where
// Windows holds its loader lock.
//
// Each function is named once, in SNTP_WINSOCK_FUNCTIONS. The list gives
// wsapi:: one table entry per function, of Winsock's own name and type and
// called like the function itself: wsapi::socket(AF_INET, SOCK_DGRAM, 0).
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <utility>

// The Winsock 1.1 functions the library calls.
#define SNTP_WINSOCK_FUNCTIONS(X)                                                                                     \
  X(WSAStartup) X(WSACleanup) X(WSASetLastError) X(WSAGetLastError) X(WSACancelAsyncRequest)                        \
  X(WSAAsyncGetHostByName) X(WSAAsyncGetHostByAddr) X(WSAAsyncSelect) X(getservbyname) X(getprotobyname)             \
  X(gethostbyname) X(gethostname) X(socket) X(shutdown) X(setsockopt) X(sendto) X(send) X(recv) X(recvfrom)         \
  X(ntohs) X(listen) X(ioctlsocket) X(inet_ntoa) X(inet_addr) X(htons) X(getsockname) X(getpeername) X(connect)      \
  X(closesocket) X(bind) X(accept)

namespace sntp {

// Number of live socket objects; the last one to go unloads Winsock.
int& SocketCount();

// Loads and starts Winsock when needed, then fetches Name; nullptr for an
// empty name. Raises ESocketException when the library, its start-up or
// the procedure fails.
FARPROC BindWinsockProc(const std::string& name);

// WSACleanup and release of the library when it is held; every table entry
// is emptied, so the next call loads and starts Winsock again.
void UnloadWinsock();

// UnloadWinsock unless a socket object still uses Winsock.
void ReleaseWinsockIfUnused();

// One entry of the table: called like the Winsock function Procedure, whose
// exact type (calling convention included) the call goes through.
template <class Procedure>
class TWinsockEntry {
 public:
  explicit constexpr TWinsockEntry(const char* name) : name_(name) {}

  template <class... Arguments>
  auto operator()(Arguments&&... arguments) {
    if (procedure_ == nullptr) {
      // GetProcAddress hands out an untyped address; the entry gives it its type.
      procedure_ = reinterpret_cast<Procedure>(reinterpret_cast<void*>(BindWinsockProc(name_)));
    }
    return procedure_(std::forward<Arguments>(arguments)...);
  }

  void Forget() { procedure_ = nullptr; }

 private:
  const char* name_;
  Procedure procedure_ = nullptr;
};

namespace wsapi {

#define SNTP_WINSOCK_DECLARE(Name) extern TWinsockEntry<decltype(&::Name)> Name;
SNTP_WINSOCK_FUNCTIONS(SNTP_WINSOCK_DECLARE)
#undef SNTP_WINSOCK_DECLARE

}  // namespace wsapi
}  // namespace sntp
