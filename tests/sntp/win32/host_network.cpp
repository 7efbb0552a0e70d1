#include "tests/sntp/win32/host_network.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>

namespace sntp::test {

namespace {

// Winsock is started for a call and released after it, so that a test can
// tell whether the library left Winsock started.
struct TWinsockSession {
  TWinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsockSession() { WSACleanup(); }
};

}  // namespace

TUdpPortHolder::TUdpPortHolder(uint16_t port) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  int length = sizeof local;
  if (socket_ == INVALID_SOCKET || bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return;
  port_ = ntohs(local.sin_port);
}

TUdpPortHolder::~TUdpPortHolder() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  WSACleanup();
}

std::vector<std::string> HostAddresses() {
  const TWinsockSession session;
  char name[256] = {};
  const hostent* entry = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : nullptr;
  std::vector<std::string> addresses;
  for (char** address = entry ? entry->h_addr_list : nullptr; address && *address; ++address) {
    in_addr value;
    std::memcpy(&value, *address, sizeof value);
    addresses.emplace_back(inet_ntoa(value));
  }
  return addresses;
}

bool WinsockStarted() {
  const SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == INVALID_SOCKET) return WSAGetLastError() != WSANOTINITIALISED;
  closesocket(probe);
  return true;
}

}  // namespace sntp::test
