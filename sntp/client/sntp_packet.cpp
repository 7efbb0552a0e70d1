#include "sntp/client/sntp_packet.h"

#include "sntp/client/ntp_time.h"

namespace sntp {

namespace {

std::span<const uint8_t, 4> Field4(const TPacket& raw, std::size_t offset) {
  return std::span<const uint8_t, 4>(raw.data() + offset, 4);
}

std::span<const uint8_t, 8> Field8(const TPacket& raw, std::size_t offset) {
  return std::span<const uint8_t, 8>(raw.data() + offset, 8);
}

}  // namespace

TPacket BuildRequest(uint64_t stamp) {
  TPacket request{};
  request[pFlags] = kRequestFlags;
  for (std::size_t i = 0; i < 8; ++i) request[pTransmitTimestamp + i] = static_cast<uint8_t>(stamp >> (56 - 8 * i));
  return request;
}

int LeapIndicatorOf(uint8_t flags) { return (flags >> 6) & 0x03; }
int VersionNumberOf(uint8_t flags) { return (flags >> 3) & 0x07; }
int ModeOf(uint8_t flags) { return flags & 0x07; }
int SignedExponentOf(uint8_t byte) { return static_cast<int8_t>(byte); }

uint32_t ReadBigEndian32(std::span<const uint8_t, 4> bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
         (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
}

uint64_t ReadBigEndian64(std::span<const uint8_t, 8> bytes) {
  return (uint64_t{ReadBigEndian32(bytes.first<4>())} << 32) | ReadBigEndian32(bytes.last<4>());
}

double ReadShortFormatSeconds(std::span<const uint8_t, 4> bytes) {
  return SignMagnitudeToSeconds(ReadBigEndian32(bytes));
}

double ReadTimestampDays(std::span<const uint8_t, 8> bytes) {
  return TimestampToDays(ReadBigEndian32(bytes.first<4>()), ReadBigEndian32(bytes.last<4>()));
}

void DecodeReply(const TPacket& raw, TSNTPReply& reply) {
  reply.LeapIndicator = LeapIndicatorOf(raw[pFlags]);
  reply.VersionNumber = VersionNumberOf(raw[pFlags]);
  reply.Mode = ModeOf(raw[pFlags]);
  reply.Stratum = raw[pStratum];
  reply.Poll = SignedExponentOf(raw[pPoll]);
  reply.Precision = SignedExponentOf(raw[pPrecision]);
  reply.RootDelay = ReadShortFormatSeconds(Field4(raw, pRootDelay));
  reply.RootDispersion = ReadShortFormatSeconds(Field4(raw, pRootDispersion));
  reply.ReferenceTimestamp = ReadTimestampDays(Field8(raw, pReferenceTimestamp));
  reply.OriginateTimestamp = ReadTimestampDays(Field8(raw, pOriginateTimestamp));
  reply.ReceiveTimestamp = ReadTimestampDays(Field8(raw, pReceiveTimestamp));
  reply.TransmitTimestamp = ReadTimestampDays(Field8(raw, pTransmitTimestamp));
}

bool IsNotSynchronised(const TPacket& raw) { return LeapIndicatorOf(raw[pFlags]) == kLeapNotSynchronised; }

bool HasStratumOutOfRange(const TPacket& raw) {
  return raw[pStratum] == 0 || raw[pStratum] > kHighestValidStratum;
}

bool HasZeroTransmitTimestamp(const TPacket& raw) { return TransmitStampOf(raw) == 0; }

uint64_t OriginateStampOf(const TPacket& raw) { return ReadBigEndian64(Field8(raw, pOriginateTimestamp)); }

uint64_t TransmitStampOf(const TPacket& raw) { return ReadBigEndian64(Field8(raw, pTransmitTimestamp)); }

bool IsInvalidReply(const TPacket& raw) {
  return IsNotSynchronised(raw) || HasStratumOutOfRange(raw) || HasZeroTransmitTimestamp(raw);
}

}  // namespace sntp
