#pragma once
// The query driver's rules that need no platform call: result codes and their
// texts, the deadline test, and what counts as having a network address.
#include <cstdint>
#include <string>
#include <vector>

namespace sntp {

enum TQueryResult : uint16_t {
  qrOk = 0,
  qrTimeout = 1,
  qrWinsockError = 2,
  qrResolveError = 3,
};

// The offset reported with every code but qrOk.
constexpr double kFailureOffset = -1000.0;

// Timeout the library gives its client, in milliseconds; also the deadline
// of QueryServer.
constexpr int32_t kQueryTimeoutMs = 4000;

// "OK", "Timeout", "Winsock Error", "Resolve Error"; "Unknown" otherwise.
const char* ResultText(uint16_t code);

// The deadline has passed once the tick count is strictly beyond it. The
// difference is taken as a signed 32-bit number, so a tick counter crossing
// 2^31 or wrapping at 2^32 during a query changes nothing.
bool DeadlinePassed(uint32_t nowTick, uint32_t deadlineTick);

// Milliseconds to sleep from NowTick until the deadline has passed (0 when it
// already has): the first tick beyond the deadline is Deadline + 1.
uint32_t MillisecondsUntilPast(uint32_t nowTick, uint32_t deadlineTick);

// The host has a network address unless the last address of its host entry
// is the loopback or the null address. No host entry at all counts as
// connected, as does an empty list.
bool HasNetworkAddress(const std::vector<std::string>& hostAddresses);

}  // namespace sntp
