// Fuzz target: a datagram of any 0 to 100 bytes, as anyone on the network
// may send it, through the reply decoder and the reply checks. Bytes 0-47
// are the reply (zero-filled when fewer came), bytes 48-55 the stamp of the
// request it is judged against (a fixed one when fewer came). The checks'
// verdict must match the rule spelled out byte by byte here, and the
// decoded fields must stay within their ranges.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sntp/ntp_time.h"
#include "sntp/reply_checks.h"
#include "sntp/sntp_packet.h"

namespace {

using namespace sntp;

constexpr uint64_t kDefaultStamp = 0xD1CE5EED0B5E55EDull;
constexpr double kFirstDay = kNtpEpochDay + 2147483648.0 / kSecondsPerDay;  // 1968-01-20
constexpr double kLastDay = kFirstDay + 4294967296.0 / kSecondsPerDay;    // 2104-02-26

void Require(bool Condition) {
  if (!Condition) std::abort();
}

bool AllZero(const uint8_t* Bytes, std::size_t Count) {
  return std::all_of(Bytes, Bytes + Count, [](uint8_t b) { return b == 0; });
}

// The checks as a reader of the wire format would state them.
TReplyRefusal ExpectedVerdict(const TPacket& Raw, const uint8_t (&Stamp)[8]) {
  if ((Raw[0] & 7) != 4) return rrNotServerMode;
  if ((Raw[0] >> 6) == 3) return rrNotSynchronised;
  if (Raw[1] == 0 || Raw[1] > 15) return rrStratumOutOfRange;
  if (AllZero(Raw.data() + 40, 8)) return rrNoTransmitTime;
  if (std::memcmp(Raw.data() + 24, Stamp, 8) != 0) return rrNotOurRequest;
  return rrAcceptable;
}

// The last fraction of the last second may round up to the end itself.
bool IsDayInRange(double Day) { return std::isfinite(Day) && Day >= kFirstDay && Day <= kLastDay; }

void CheckDecodedFields(const TPacket& Raw) {
  TSNTPReply reply;
  reply.ServerTime = -1.0;
  DecodeReply(Raw, reply);
  Require(reply.LeapIndicator >= 0 && reply.LeapIndicator <= 3);
  Require(reply.VersionNumber >= 0 && reply.VersionNumber <= 7 && reply.Mode >= 0 && reply.Mode <= 7);
  Require(reply.Stratum == Raw[1] && reply.Poll >= -128 && reply.Poll <= 127);
  Require(std::abs(reply.RootDelay) < 32768.0 && std::abs(reply.RootDispersion) < 32768.0);
  for (double day : {reply.ReferenceTimestamp, reply.OriginateTimestamp, reply.ReceiveTimestamp,
                     reply.TransmitTimestamp})
    Require(IsDayInRange(day));
  Require(reply.ServerTime == -1.0 && !reply.InvalidReply);  // the client's fields
  const double arrival = ServerTimeAtArrival(reply.ReceiveTimestamp, reply.TransmitTimestamp, 4000);
  Require(std::isfinite(arrival));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  TPacket raw{};
  std::copy_n(Data, std::min(Size, kPacketSize), raw.begin());  // an empty input may come as null
  uint8_t stamp[8];
  for (int i = 0; i < 8; ++i) stamp[i] = static_cast<uint8_t>(kDefaultStamp >> (56 - 8 * i));
  if (Size >= kPacketSize + 8) std::memcpy(stamp, Data + kPacketSize, 8);
  const TSentRequest request{ReadBigEndian64(stamp)};

  const TReplyRefusal verdict = CheckReply(raw, request);
  Require(verdict == ExpectedVerdict(raw, stamp));
  Require(std::strlen(ReplyRefusalText(verdict)) > 0);
  // What the validity test calls invalid is never believed.
  Require(!IsInvalidReply(raw) || verdict != rrAcceptable);
  CheckDecodedFields(raw);
  return 0;
}
