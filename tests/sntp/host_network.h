#pragma once
// Test support under Wine: this host's addresses and UDP ports, read with
// Winsock directly rather than through the library.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sntp::test {

// A UDP socket bound to Address:Port (0: any), or INVALID_SOCKET.
SOCKET BoundUdpSocket(const char* address, uint16_t port);
uint16_t BoundPort(SOCKET socket);
bool CanBindUdpPort(uint16_t port);

// This host's addresses, from its name's host entry.
std::vector<std::string> HostAddresses();
// This host's first address as the library sees it, "127.0.0.1" for none:
// with no network the library asks only "127.0.0.1".
std::string FirstHostAddress();
inline bool HostHasNetworkAddress() { return FirstHostAddress() != "127.0.0.1"; }

}  // namespace sntp::test
