#pragma once
// The 48-byte SNTP request and reply on the wire, and the reply record they
// decode into. Multi-byte fields are big-endian. Free of any platform call.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sntp {

constexpr std::size_t kPacketSize = 48;
using TPacket = std::array<uint8_t, kPacketSize>;

// Byte offsets of the fields.
enum TPacketField : std::size_t {
  pFlags = 0,  // leap indicator, version, mode
  pStratum = 1,
  pPoll = 2,
  pPrecision = 3,
  pRootDelay = 4,
  pRootDispersion = 8,
  pReferenceId = 12,
  pReferenceTimestamp = 16,
  pOriginateTimestamp = 24,
  pReceiveTimestamp = 32,
  pTransmitTimestamp = 40,
};

// Leap indicator 0, version 1, mode 3 (client). The round trip is measured
// with the local tick counter; the request's only timestamp, the transmit
// timestamp, is a stamp that the server copies into its reply's originate
// timestamp, so that the reply can be matched with the request.
constexpr uint8_t kRequestFlags = 0x0B;
constexpr int kModeClient = 3;
constexpr int kModeServer = 4;
constexpr int kLeapNotSynchronised = 3;
constexpr int kHighestValidStratum = 15;

// What the client keeps of one reply. Timestamps are UTC day counts.
struct TSNTPReply {
  int32_t LeapIndicator = 0;
  int32_t VersionNumber = 0;
  int32_t Mode = 0;
  int32_t Stratum = 0;
  int32_t Poll = 0;
  int32_t Precision = 0;
  double RootDelay = 0;       // seconds
  double RootDispersion = 0;  // seconds
  double ReferenceTimestamp = 0;
  double OriginateTimestamp = 0;
  double ReceiveTimestamp = 0;   // T2: the server got the request
  double TransmitTimestamp = 0;  // T3: the server sent the reply
  double ServerTime = 0;         // the server's time when the reply arrived
  bool InvalidReply = false;
};

// The request, carrying Stamp as its transmit timestamp (bytes 40-47).
TPacket BuildRequest(uint64_t stamp);

// One small function per field.
int LeapIndicatorOf(uint8_t flags);
int VersionNumberOf(uint8_t flags);
int ModeOf(uint8_t flags);
int SignedExponentOf(uint8_t byte);
uint32_t ReadBigEndian32(std::span<const uint8_t, 4> bytes);
uint64_t ReadBigEndian64(std::span<const uint8_t, 8> bytes);
double ReadShortFormatSeconds(std::span<const uint8_t, 4> bytes);
double ReadTimestampDays(std::span<const uint8_t, 8> bytes);

// Fills every field read from the wire; ServerTime and InvalidReply are the
// client's to set and keep their values.
void DecodeReply(const TPacket& raw, TSNTPReply& reply);

// Leap indicator 3: the server's clock is not synchronised.
bool IsNotSynchronised(const TPacket& raw);
// Stratum 0 (unspecified, or a kiss-o'-death) or above 15 (unsynchronised).
bool HasStratumOutOfRange(const TPacket& raw);
bool HasZeroTransmitTimestamp(const TPacket& raw);
// The originate and transmit timestamps as their raw 64 bits.
uint64_t OriginateStampOf(const TPacket& raw);
uint64_t TransmitStampOf(const TPacket& raw);

// A reply whose server is not synchronised, whose stratum is out of range,
// or whose transmit timestamp is all zero. Version and mode are not judged.
bool IsInvalidReply(const TPacket& raw);

}  // namespace sntp
