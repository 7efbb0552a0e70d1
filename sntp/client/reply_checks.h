#pragma once
// Which datagrams the client takes as the reply to its request. One that a
// check here refuses is ignored: the exchange goes on, so that a later good
// reply is still taken, and a stray or bogus datagram can never end a query
// with a wrong time. Only a late reply ends the exchange, without a result,
// and so does a kiss-o'-death that answers the request: the server asks not
// to be asked (so often), which the client obeys. Free of any platform call.
#include <cstdint>

#include "sntp/client/sntp_packet.h"

namespace sntp {

// Why a datagram is refused, in the order the checks run.
enum TReplyRefusal : uint8_t {
  rrAcceptable,         // no check refuses it
  rrWrongSize,          // not 48 bytes, or it could not be read
  rrWrongSource,        // from neither the server nor 127.0.0.1
  rrNotServerMode,      // not mode 4: a request (our own, heard back), a broadcast, noise
  rrKissOfDeath,        // stratum 0 with DENY, RSTR or RATE, answering our request
  rrNotSynchronised,    // leap indicator 3: the server's clock is not set (kiss-o'-death too)
  rrStratumOutOfRange,  // stratum 0 (kiss-o'-death) or above 15 (unsynchronised)
  rrNoTransmitTime,     // transmit timestamp all zero: no time to take
  rrNotOurRequest,      // originate timestamp is not our request's stamp: late, duplicate or forged
  rrLate,               // a good reply, but its round trip exceeds the time-out
};

// What a kiss-o'-death (stratum 0, the code in the reference identifier)
// asks of the client. Other codes ask nothing: such a reply is refused like
// any unsynchronised one.
enum TKissCode : uint8_t {
  kcNone,
  kcDeny,      // "DENY": access denied, ask no more
  kcRestrict,  // "RSTR": access restricted, ask no more
  kcRate,      // "RATE": asked too often, ask less often
};

TKissCode KissCodeOf(const TPacket& raw);
// "DENY", "RSTR", "RATE"; empty for kcNone.
const char* KissCodeText(TKissCode code);

// What the client remembers of the request it sent, to judge replies by.
struct TSentRequest {
  uint64_t Stamp = 0;          // the request's transmit timestamp, never zero
  uint32_t ServerAddress = 0;  // network byte order
  int32_t TimeoutMs = 0;       // the longest round trip accepted
};

// A datagram as it came: what Raw holds of it.
struct TArrival {
  int Length = 0;           // as read; -1 when it could not be read
  uint32_t Source = 0;      // its sender, network byte order
  int32_t RoundTripMs = 0;  // from the request's sending to this datagram's notification
};

// 127.0.0.1 in network byte order: a reply from it is taken as the server's,
// since a query of this host may be answered from either address.
uint32_t LoopbackAddress();

TReplyRefusal CheckReply(const TPacket& raw, const TArrival& arrival, const TSentRequest& request);

// A short text for the client's trace, e.g. "stratum out of range".
const char* ReplyRefusalText(TReplyRefusal refusal);

}  // namespace sntp
