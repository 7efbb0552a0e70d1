#pragma once
// Test support under Wine: this host's addresses and its free UDP ports,
// read with Winsock directly rather than through the library; and whether
// Winsock is started in this process, which nothing here leaves started.
#include <cstdint>
#include <string>
#include <vector>

namespace sntp::test {

bool CanBindUdpPort(uint16_t port);
// This host's addresses, from its name's host entry.
std::vector<std::string> HostAddresses();
// A socket can be made: someone in this process holds Winsock started.
bool WinsockStarted();

}  // namespace sntp::test
