#pragma once
// Test support under Wine: this host's addresses and its free UDP ports,
// read with Winsock directly rather than through the library.
#include <cstdint>
#include <string>
#include <vector>

namespace sntp::test {

bool CanBindUdpPort(uint16_t port);
// This host's addresses, from its name's host entry.
std::vector<std::string> HostAddresses();

}  // namespace sntp::test
