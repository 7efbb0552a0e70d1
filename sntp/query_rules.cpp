#include "sntp/query_rules.h"

namespace sntp {

const char* ResultText(uint16_t Code) {
  switch (Code) {
    case qrOk: return "OK";
    case qrTimeout: return "Timeout";
    case qrWinsockError: return "Winsock Error";
    case qrResolveError: return "Resolve Error";
    default: return "Unknown";
  }
}

bool DeadlinePassed(uint32_t NowTick, uint32_t DeadlineTick) {
  return static_cast<int32_t>(NowTick - DeadlineTick) > 0;
}

uint32_t MillisecondsUntilPast(uint32_t NowTick, uint32_t DeadlineTick) {
  if (DeadlinePassed(NowTick, DeadlineTick)) return 0;
  return DeadlineTick - NowTick + 1;
}

bool HasNetworkAddress(const std::vector<std::string>& HostAddresses) {
  if (HostAddresses.empty()) return true;
  const std::string& last = HostAddresses.back();
  return last != "127.0.0.1" && last != "0.0.0.0";
}

}  // namespace sntp
