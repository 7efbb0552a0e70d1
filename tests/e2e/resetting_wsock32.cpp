// wsock32.dll as Windows behaves where Wine does not, for the end-to-end
// test. After a datagram meets a closed port (an ICMP port unreachable
// comes back), Windows fails the next recvfrom on the socket that sent it
// with WSAECONNRESET (10054); Wine reports nothing, and the socket stays
// silent. ZARA_CLOSED_PORTS names the addresses whose time server port is
// closed ("10.213.0.6,10.213.0.7"): a datagram sent to one of them makes the
// socket readable, and its next recvfrom fails so. Every other function,
// and every other datagram, is the system's own: resetting_wsock32.def
// forwards the rest to ws2_32.dll.
//
// The test installs it as the system's wsock32.dll in its Wine prefix and
// tells Wine to prefer it (WINEDLLOVERRIDES=wsock32=n), since the library
// loads Winsock by its full path in the system directory.
// This file defines Winsock's functions itself, so it includes none of
// Winsock's headers, which declare them as imported: the few types it needs
// are spelled out below, as Winsock 1.1 lays them out (the build defines
// WIN32_LEAN_AND_MEAN, so that <windows.h> brings no Winsock header either).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

using SOCKET = UINT_PTR;
using u_int = unsigned int;
struct sockaddr {
  unsigned short sa_family;
  char sa_data[14];
};
struct in_addr {
  unsigned char Bytes[4];
};
struct sockaddr_in {
  short sin_family;
  unsigned short sin_port;
  in_addr sin_addr;
  char sin_zero[8];
};
#define WSAAPI WINAPI
constexpr int SOCKET_ERROR = -1;
constexpr unsigned short AF_INET = 2;
constexpr long FD_READ = 1;
constexpr int kConnectionReset = 10054;  // WSAECONNRESET

using TAsyncSelect = int(WSAAPI*)(SOCKET, HWND, u_int, long);
using TSendTo = int(WSAAPI*)(SOCKET, const char*, int, int, const sockaddr*, int);
using TRecvFrom = int(WSAAPI*)(SOCKET, char*, int, int, sockaddr*, int*);
using TSetLastError = void(WSAAPI*)(int);
using TCloseSocket = int(WSAAPI*)(SOCKET);

namespace {

struct TNotification {
  HWND Window = nullptr;
  UINT Message = 0;
};

std::mutex Lock;
std::map<SOCKET, TNotification> Notifications;  // from WSAAsyncSelect
std::set<SOCKET> ResetPending;

template <class Procedure>
Procedure System(const char* name) {
  static const HMODULE winsock = LoadLibraryA("ws2_32.dll");
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetProcAddress(winsock, name)));
}

std::string Dotted(const in_addr& address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address.Bytes[0], address.Bytes[1], address.Bytes[2],
                address.Bytes[3]);
  return text;
}

bool PortClosedAt(const sockaddr* to, int length) {
  if (to == nullptr || length < static_cast<int>(sizeof(sockaddr_in)) || to->sa_family != AF_INET) return false;
  const char* closed = std::getenv("ZARA_CLOSED_PORTS");
  if (closed == nullptr) return false;
  const std::string list = std::string(",") + closed + ",";
  return list.find("," + Dotted(reinterpret_cast<const sockaddr_in*>(to)->sin_addr) + ",") != std::string::npos;
}

// As the ICMP port unreachable comes back: the socket is readable, and its
// next read fails.
void ResetLater(SOCKET socket) {
  const std::lock_guard<std::mutex> lock(Lock);
  ResetPending.insert(socket);
  const auto found = Notifications.find(socket);
  if (found == Notifications.end()) return;
  PostMessageA(found->second.Window, found->second.Message, static_cast<WPARAM>(socket), MAKELPARAM(FD_READ, 0));
}

bool TakeReset(SOCKET socket) {
  const std::lock_guard<std::mutex> lock(Lock);
  return ResetPending.erase(socket) > 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WSAAPI WSAAsyncSelect(SOCKET socket, HWND window, u_int message, long events) {
  {
    const std::lock_guard<std::mutex> lock(Lock);
    Notifications[socket] = {window, message};
  }
  return System<TAsyncSelect>("WSAAsyncSelect")(socket, window, message, events);
}

__declspec(dllexport) int WSAAPI sendto(SOCKET socket, const char* data, int length, int flags, const sockaddr* to,
                                        int toLength) {
  const int sent = System<TSendTo>("sendto")(socket, data, length, flags, to, toLength);
  if (sent != SOCKET_ERROR && PortClosedAt(to, toLength)) ResetLater(socket);
  return sent;
}

__declspec(dllexport) int WSAAPI recvfrom(SOCKET socket, char* buffer, int length, int flags, sockaddr* from,
                                          int* fromLength) {
  if (TakeReset(socket)) {
    System<TSetLastError>("WSASetLastError")(kConnectionReset);
    return SOCKET_ERROR;
  }
  return System<TRecvFrom>("recvfrom")(socket, buffer, length, flags, from, fromLength);
}

__declspec(dllexport) int WSAAPI closesocket(SOCKET socket) {
  {
    const std::lock_guard<std::mutex> lock(Lock);
    Notifications.erase(socket);
    ResetPending.erase(socket);
  }
  return System<TCloseSocket>("closesocket")(socket);
}

}  // extern "C"
