#include "sntp/reply_checks.h"

#include <cstring>

namespace sntp {

uint32_t LoopbackAddress() {
  constexpr uint8_t kLoopbackBytes[4] = {127, 0, 0, 1};
  uint32_t address;
  std::memcpy(&address, kLoopbackBytes, sizeof address);
  return address;
}

TReplyRefusal CheckReply(const TPacket& raw, const TArrival& arrival, const TSentRequest& request) {
  if (arrival.Length != static_cast<int>(kPacketSize)) return rrWrongSize;
  if (arrival.Source != request.ServerAddress && arrival.Source != LoopbackAddress()) return rrWrongSource;
  if (ModeOf(raw[pFlags]) != kModeServer) return rrNotServerMode;
  if (IsNotSynchronised(raw)) return rrNotSynchronised;
  if (HasStratumOutOfRange(raw)) return rrStratumOutOfRange;
  if (HasZeroTransmitTimestamp(raw)) return rrNoTransmitTime;
  if (OriginateStampOf(raw) != request.Stamp) return rrNotOurRequest;
  if (arrival.RoundTripMs > request.TimeoutMs) return rrLate;
  return rrAcceptable;
}

const char* ReplyRefusalText(TReplyRefusal refusal) {
  switch (refusal) {
    case rrAcceptable: return "acceptable";
    case rrWrongSize: return "not 48 bytes";
    case rrWrongSource: return "not from the server";
    case rrNotServerMode: return "not a server's reply";
    case rrNotSynchronised: return "server not synchronised";
    case rrStratumOutOfRange: return "stratum out of range";
    case rrNoTransmitTime: return "no transmit timestamp";
    case rrNotOurRequest: return "not the answer to our request";
    case rrLate: return "late";
  }
  return "unknown";
}

}  // namespace sntp
