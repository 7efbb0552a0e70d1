#include "sntp/client/reply_checks.h"

#include <cstring>
#include <string_view>

namespace sntp {

uint32_t LoopbackAddress() {
  constexpr uint8_t kLoopbackBytes[4] = {127, 0, 0, 1};
  uint32_t address;
  std::memcpy(&address, kLoopbackBytes, sizeof address);
  return address;
}

TKissCode KissCodeOf(const TPacket& raw) {
  if (raw[pStratum] != 0) return kcNone;
  const std::string_view code(reinterpret_cast<const char*>(&raw[pReferenceId]), 4);
  for (TKissCode kiss : {kcDeny, kcRestrict, kcRate}) {
    if (code == KissCodeText(kiss)) return kiss;
  }
  return kcNone;
}

const char* KissCodeText(TKissCode code) {
  switch (code) {
    case kcDeny: return "DENY";
    case kcRestrict: return "RSTR";
    case kcRate: return "RATE";
    case kcNone: break;
  }
  return "";
}

TReplyRefusal CheckReply(const TPacket& raw, const TArrival& arrival, const TSentRequest& request) {
  if (arrival.Length != static_cast<int>(kPacketSize)) return rrWrongSize;
  if (arrival.Source != request.ServerAddress && arrival.Source != LoopbackAddress()) return rrWrongSource;
  if (ModeOf(raw[pFlags]) != kModeServer) return rrNotServerMode;
  // Only a kiss that answers our request is obeyed: a forged one must not
  // silence a server.
  if (KissCodeOf(raw) != kcNone && OriginateStampOf(raw) == request.Stamp) return rrKissOfDeath;
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
    case rrKissOfDeath: return "kiss-o'-death";
    case rrNotSynchronised: return "server not synchronised";
    case rrStratumOutOfRange: return "stratum out of range";
    case rrNoTransmitTime: return "no transmit timestamp";
    case rrNotOurRequest: return "not the answer to our request";
    case rrLate: return "late";
  }
  return "unknown";
}

}  // namespace sntp
