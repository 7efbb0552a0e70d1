#include "sntp/sntp_packet.h"

#include "sntp/ntp_time.h"

namespace sntp {

namespace {

std::span<const uint8_t, 4> Field4(const TPacket& Raw, std::size_t Offset) {
  return std::span<const uint8_t, 4>(Raw.data() + Offset, 4);
}

std::span<const uint8_t, 8> Field8(const TPacket& Raw, std::size_t Offset) {
  return std::span<const uint8_t, 8>(Raw.data() + Offset, 8);
}

}  // namespace

TPacket BuildRequest(uint64_t Stamp) {
  TPacket request{};
  request[pFlags] = kRequestFlags;
  for (std::size_t i = 0; i < 8; ++i) request[pTransmitTimestamp + i] = static_cast<uint8_t>(Stamp >> (56 - 8 * i));
  return request;
}

int LeapIndicatorOf(uint8_t Flags) { return (Flags >> 6) & 0x03; }
int VersionNumberOf(uint8_t Flags) { return (Flags >> 3) & 0x07; }
int ModeOf(uint8_t Flags) { return Flags & 0x07; }
int SignedExponentOf(uint8_t Byte) { return static_cast<int8_t>(Byte); }

uint32_t ReadBigEndian32(std::span<const uint8_t, 4> Bytes) {
  return (uint32_t{Bytes[0]} << 24) | (uint32_t{Bytes[1]} << 16) |
         (uint32_t{Bytes[2]} << 8) | uint32_t{Bytes[3]};
}

uint64_t ReadBigEndian64(std::span<const uint8_t, 8> Bytes) {
  return (uint64_t{ReadBigEndian32(Bytes.first<4>())} << 32) | ReadBigEndian32(Bytes.last<4>());
}

double ReadShortFormatSeconds(std::span<const uint8_t, 4> Bytes) {
  return SignMagnitudeToSeconds(ReadBigEndian32(Bytes));
}

double ReadTimestampDays(std::span<const uint8_t, 8> Bytes) {
  return TimestampToDays(ReadBigEndian32(Bytes.first<4>()), ReadBigEndian32(Bytes.last<4>()));
}

void DecodeReply(const TPacket& Raw, TSNTPReply& Reply) {
  Reply.LeapIndicator = LeapIndicatorOf(Raw[pFlags]);
  Reply.VersionNumber = VersionNumberOf(Raw[pFlags]);
  Reply.Mode = ModeOf(Raw[pFlags]);
  Reply.Stratum = Raw[pStratum];
  Reply.Poll = SignedExponentOf(Raw[pPoll]);
  Reply.Precision = SignedExponentOf(Raw[pPrecision]);
  Reply.RootDelay = ReadShortFormatSeconds(Field4(Raw, pRootDelay));
  Reply.RootDispersion = ReadShortFormatSeconds(Field4(Raw, pRootDispersion));
  Reply.ReferenceTimestamp = ReadTimestampDays(Field8(Raw, pReferenceTimestamp));
  Reply.OriginateTimestamp = ReadTimestampDays(Field8(Raw, pOriginateTimestamp));
  Reply.ReceiveTimestamp = ReadTimestampDays(Field8(Raw, pReceiveTimestamp));
  Reply.TransmitTimestamp = ReadTimestampDays(Field8(Raw, pTransmitTimestamp));
}

bool IsNotSynchronised(const TPacket& Raw) { return LeapIndicatorOf(Raw[pFlags]) == kLeapNotSynchronised; }

bool HasStratumOutOfRange(const TPacket& Raw) {
  return Raw[pStratum] == 0 || Raw[pStratum] > kHighestValidStratum;
}

bool HasZeroTransmitTimestamp(const TPacket& Raw) { return TransmitStampOf(Raw) == 0; }

uint64_t OriginateStampOf(const TPacket& Raw) { return ReadBigEndian64(Field8(Raw, pOriginateTimestamp)); }

uint64_t TransmitStampOf(const TPacket& Raw) { return ReadBigEndian64(Field8(Raw, pTransmitTimestamp)); }

bool IsInvalidReply(const TPacket& Raw) {
  return IsNotSynchronised(Raw) || HasStratumOutOfRange(Raw) || HasZeroTransmitTimestamp(Raw);
}

}  // namespace sntp
