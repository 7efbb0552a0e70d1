#include "sntp/reply_checks.h"

namespace sntp {

TReplyRefusal CheckReply(const TPacket& Raw, const TSentRequest& Request) {
  if (ModeOf(Raw[pFlags]) != kModeServer) return rrNotServerMode;
  if (IsNotSynchronised(Raw)) return rrNotSynchronised;
  if (HasStratumOutOfRange(Raw)) return rrStratumOutOfRange;
  if (HasZeroTransmitTimestamp(Raw)) return rrNoTransmitTime;
  if (OriginateStampOf(Raw) != Request.Stamp) return rrNotOurRequest;
  return rrAcceptable;
}

const char* ReplyRefusalText(TReplyRefusal Refusal) {
  switch (Refusal) {
    case rrAcceptable: return "acceptable";
    case rrNotServerMode: return "not a server's reply";
    case rrNotSynchronised: return "server not synchronised";
    case rrStratumOutOfRange: return "stratum out of range";
    case rrNoTransmitTime: return "no transmit timestamp";
    case rrNotOurRequest: return "not the answer to our request";
  }
  return "unknown";
}

}  // namespace sntp
