#pragma once
// Which replies the client believes. A datagram that fails a check here is
// ignored: the exchange goes on, so that a later good reply is still taken,
// and a stray or bogus datagram can never end a query with a wrong time.
// Free of any platform call.
#include <cstdint>

#include "sntp/sntp_packet.h"

namespace sntp {

// Why a reply is refused, in the order the checks run.
enum TReplyRefusal : uint8_t {
  rrAcceptable,         // no check refuses it
  rrNotServerMode,      // not mode 4: a request (our own, heard back), a broadcast, noise
  rrNotSynchronised,    // leap indicator 3: the server's clock is not set (kiss-o'-death too)
  rrStratumOutOfRange,  // stratum 0 (kiss-o'-death) or above 15 (unsynchronised)
  rrNoTransmitTime,     // transmit timestamp all zero: no time to take
  rrNotOurRequest,      // originate timestamp is not our request's stamp: late, duplicate or forged
};

// What the client remembers of the request it sent, to judge replies by.
struct TSentRequest {
  uint64_t Stamp = 0;  // the request's transmit timestamp, never zero
};

TReplyRefusal CheckReply(const TPacket& Raw, const TSentRequest& Request);

// A short text for the client's trace, e.g. "stratum out of range".
const char* ReplyRefusalText(TReplyRefusal Refusal);

}  // namespace sntp
