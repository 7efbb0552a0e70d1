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

#include "sntp/client/ntp_time.h"
#include "sntp/client/reply_checks.h"
#include "sntp/client/sntp_packet.h"

namespace {

using namespace sntp;

constexpr uint64_t kDefaultStamp = 0xD1CE5EED0B5E55EDull;
constexpr uint32_t kServer = 0x0100000A;  // 10.0.0.1 in network byte order
constexpr double kFirstDay = kNtpEpochDay + 2147483648.0 / kSecondsPerDay;  // 1968-01-20
constexpr double kLastDay = kFirstDay + 4294967296.0 / kSecondsPerDay;    // 2104-02-26

void Require(bool condition) {
  if (!condition) std::abort();
}

bool AllZero(const uint8_t* bytes, std::size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

bool IsKissThatAsks(const TPacket& raw) {
  if (raw[1] != 0) return false;
  for (const char* code : {"DENY", "RSTR", "RATE"}) {
    if (std::memcmp(raw.data() + 12, code, 4) == 0) return true;
  }
  return false;
}

// The checks as a reader of the wire format would state them.
TReplyRefusal ExpectedVerdict(const TPacket& raw, const uint8_t (&stamp)[8]) {
  if ((raw[0] & 7) != 4) return rrNotServerMode;
  if (IsKissThatAsks(raw) && std::memcmp(raw.data() + 24, stamp, 8) == 0) return rrKissOfDeath;
  if ((raw[0] >> 6) == 3) return rrNotSynchronised;
  if (raw[1] == 0 || raw[1] > 15) return rrStratumOutOfRange;
  if (AllZero(raw.data() + 40, 8)) return rrNoTransmitTime;
  if (std::memcmp(raw.data() + 24, stamp, 8) != 0) return rrNotOurRequest;
  return rrAcceptable;
}

// The last fraction of the last second may round up to the end itself.
bool IsDayInRange(double day) { return std::isfinite(day) && day >= kFirstDay && day <= kLastDay; }

void CheckDecodedFields(const TPacket& raw) {
  TSNTPReply reply;
  reply.ServerTime = -1.0;
  DecodeReply(raw, reply);
  Require(reply.LeapIndicator >= 0 && reply.LeapIndicator <= 3);
  Require(reply.VersionNumber >= 0 && reply.VersionNumber <= 7 && reply.Mode >= 0 && reply.Mode <= 7);
  Require(reply.Stratum == raw[1] && reply.Poll >= -128 && reply.Poll <= 127);
  Require(std::abs(reply.RootDelay) < 32768.0 && std::abs(reply.RootDispersion) < 32768.0);
  for (double day : {reply.ReferenceTimestamp, reply.OriginateTimestamp, reply.ReceiveTimestamp,
                     reply.TransmitTimestamp})
    Require(IsDayInRange(day));
  Require(reply.ServerTime == -1.0 && !reply.InvalidReply);  // the client's fields
  const double arrival = ServerTimeAtArrival(reply.ReceiveTimestamp, reply.TransmitTimestamp, 4000);
  Require(std::isfinite(arrival));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  TPacket raw{};
  std::copy_n(data, std::min(size, kPacketSize), raw.begin());  // an empty input may come as null
  uint8_t stamp[8];
  for (int i = 0; i < 8; ++i) stamp[i] = static_cast<uint8_t>(kDefaultStamp >> (56 - 8 * i));
  if (size >= kPacketSize + 8) std::memcpy(stamp, data + kPacketSize, 8);
  // The reply's size, source and timing are right: the bytes alone decide.
  const TSentRequest request{ReadBigEndian64(stamp), kServer, 4000};
  const TArrival arrival{static_cast<int>(kPacketSize), kServer, 100};

  const TReplyRefusal verdict = CheckReply(raw, arrival, request);
  Require(verdict == ExpectedVerdict(raw, stamp));
  // What the validity test calls invalid is never believed.
  Require(!IsInvalidReply(raw) || verdict != rrAcceptable);
  CheckDecodedFields(raw);
  return 0;
}
