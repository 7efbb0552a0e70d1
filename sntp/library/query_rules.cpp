#include "sntp/library/query_rules.h"

namespace sntp {

const char* ResultText(uint16_t code) {
  switch (code) {
    case qrOk: return "OK";
    case qrTimeout: return "Timeout";
    case qrWinsockError: return "Winsock Error";
    case qrResolveError: return "Resolve Error";
    default: return "Unknown";
  }
}

bool DeadlinePassed(uint32_t nowTick, uint32_t deadlineTick) {
  return static_cast<int32_t>(nowTick - deadlineTick) > 0;
}

uint32_t MillisecondsUntilPast(uint32_t nowTick, uint32_t deadlineTick) {
  if (DeadlinePassed(nowTick, deadlineTick)) return 0;
  return deadlineTick - nowTick + 1;
}

bool HasNetworkAddress(const std::vector<std::string>& hostAddresses) {
  if (hostAddresses.empty()) return true;
  const std::string& last = hostAddresses.back();
  return last != "127.0.0.1" && last != "0.0.0.0";
}

}  // namespace sntp
