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
// This file defines Winsock's functions itself, under Winsock's names, so it
// includes none of Winsock's headers, which declare them as imported (the
// build defines WIN32_LEAN_AND_MEAN, so that <windows.h> brings none either).
// The little it reads of Winsock's types is spelled out below.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>

#define WSAAPI WINAPI

using TSocket = UINT_PTR;
// An IPv4 address as Winsock lays it out: family, port, address, padding.
struct TInetAddress {
  uint16_t Family;
  uint16_t Port;
  uint8_t Address[4];
  uint8_t Padding[8];
};
constexpr uint16_t kInetFamily = 2;       // AF_INET
constexpr long kReadEvent = 1;            // FD_READ
constexpr int kSocketError = -1;          // SOCKET_ERROR
constexpr int kConnectionReset = 10054;  // WSAECONNRESET

using TAsyncSelect = int(WSAAPI*)(TSocket, HWND, unsigned, long);
using TSendTo = int(WSAAPI*)(TSocket, const char*, int, int, const void*, int);
using TRecvFrom = int(WSAAPI*)(TSocket, char*, int, int, void*, int*);
using TSetLastError = void(WSAAPI*)(int);
using TCloseSocket = int(WSAAPI*)(TSocket);

namespace {

struct TNotification {
  HWND Window = nullptr;
  UINT Message = 0;
};

std::mutex Lock;
std::map<TSocket, TNotification> Notifications;  // from WSAAsyncSelect
std::set<TSocket> ResetPending;

template <class Procedure>
Procedure System(const char* name) {
  static const HMODULE winsock = LoadLibraryA("ws2_32.dll");
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetProcAddress(winsock, name)));
}

std::string Dotted(const uint8_t (&address)[4]) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
  return text;
}

bool PortClosedAt(const void* to, int length) {
  if (to == nullptr || length < static_cast<int>(sizeof(TInetAddress))) return false;
  const auto* destination = static_cast<const TInetAddress*>(to);
  const char* closed = std::getenv("ZARA_CLOSED_PORTS");
  if (destination->Family != kInetFamily || closed == nullptr) return false;
  const std::string list = std::string(",") + closed + ",";
  return list.find("," + Dotted(destination->Address) + ",") != std::string::npos;
}

// As the ICMP port unreachable comes back: the socket is readable, and its
// next read fails.
void ResetLater(TSocket socket) {
  const std::lock_guard<std::mutex> lock(Lock);
  ResetPending.insert(socket);
  const auto found = Notifications.find(socket);
  if (found == Notifications.end()) return;
  PostMessageA(found->second.Window, found->second.Message, static_cast<WPARAM>(socket), MAKELPARAM(kReadEvent, 0));
}

bool TakeReset(TSocket socket) {
  const std::lock_guard<std::mutex> lock(Lock);
  return ResetPending.erase(socket) > 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WSAAPI WSAAsyncSelect(TSocket socket, HWND window, unsigned message, long events) {
  {
    const std::lock_guard<std::mutex> lock(Lock);
    Notifications[socket] = {window, message};
  }
  return System<TAsyncSelect>("WSAAsyncSelect")(socket, window, message, events);
}

__declspec(dllexport) int WSAAPI sendto(TSocket socket, const char* data, int length, int flags, const void* to,
                                        int toLength) {
  const int sent = System<TSendTo>("sendto")(socket, data, length, flags, to, toLength);
  if (sent != kSocketError && PortClosedAt(to, toLength)) ResetLater(socket);
  return sent;
}

__declspec(dllexport) int WSAAPI recvfrom(TSocket socket, char* buffer, int length, int flags, void* from,
                                          int* fromLength) {
  if (TakeReset(socket)) {
    System<TSetLastError>("WSASetLastError")(kConnectionReset);
    return kSocketError;
  }
  return System<TRecvFrom>("recvfrom")(socket, buffer, length, flags, from, fromLength);
}

__declspec(dllexport) int WSAAPI closesocket(TSocket socket) {
  {
    const std::lock_guard<std::mutex> lock(Lock);
    Notifications.erase(socket);
    ResetPending.erase(socket);
  }
  return System<TCloseSocket>("closesocket")(socket);
}

}  // extern "C"
