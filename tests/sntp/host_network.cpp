#include "host_network.h"

#include <cstring>

namespace sntp::test {

namespace {

struct TWinsockSession {
  TWinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsockSession() { WSACleanup(); }
} WinsockSession;

}  // namespace

SOCKET BoundUdpSocket(const char* address, uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = inet_addr(address);
  if (s != INVALID_SOCKET && bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
  return s;
}

uint16_t BoundPort(SOCKET socket) {
  sockaddr_in local{};
  int length = sizeof local;
  getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length);
  return ntohs(local.sin_port);
}

bool CanBindUdpPort(uint16_t port) {
  SOCKET s = BoundUdpSocket("0.0.0.0", port);
  if (s != INVALID_SOCKET) closesocket(s);
  return s != INVALID_SOCKET;
}

std::vector<std::string> HostAddresses() {
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

std::string FirstHostAddress() {
  const std::vector<std::string> addresses = HostAddresses();
  return addresses.empty() ? "127.0.0.1" : addresses.front();
}

}  // namespace sntp::test
