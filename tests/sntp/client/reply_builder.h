#pragma once
// SNTP packets for tests, built from named pieces placed at their offsets,
// and the replies the tests' servers send.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sntp/client/sntp_packet.h"

namespace sntp::test {

constexpr uint32_t k2000 = 3155673600u;  // 2000-01-01 00:00:00 UTC in NTP seconds
// The stamp of the request a reply answers, unless a test says another.
constexpr uint64_t kRequestStamp = 0x1122334455667788ull;

struct TReplyBuilder {
  TPacket Packet{};
  TReplyBuilder& Flags(uint8_t v) { Packet[pFlags] = v; return *this; }
  TReplyBuilder& Stratum(uint8_t v) { Packet[pStratum] = v; return *this; }
  TReplyBuilder& Bytes(std::size_t offset, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Packet[offset++] = b;
    return *this;
  }
  TReplyBuilder& Timestamp(std::size_t offset, uint32_t seconds, uint32_t fraction) {
    for (int i = 0; i < 4; ++i) {
      Packet[offset + i] = static_cast<uint8_t>(seconds >> (24 - 8 * i));
      Packet[offset + 4 + i] = static_cast<uint8_t>(fraction >> (24 - 8 * i));
    }
    return *this;
  }
  TReplyBuilder& Stamp(std::size_t offset, uint64_t stamp) {
    return Timestamp(offset, static_cast<uint32_t>(stamp >> 32), static_cast<uint32_t>(stamp));
  }
  // The server received the request and sent the reply at Seconds.
  TReplyBuilder& SentAt(uint32_t seconds) {
    return Timestamp(pReceiveTimestamp, seconds, 0).Timestamp(pTransmitTimestamp, seconds, 0);
  }
  std::vector<uint8_t> Datagram() const { return {Packet.begin(), Packet.end()}; }
};

// A synchronised stratum-2 server's reply (version 3, mode 4), sent in 2000,
// to the request stamped Stamp.
inline TReplyBuilder Answer(uint64_t stamp = kRequestStamp) {
  return TReplyBuilder().Flags(0x1C).Stratum(2).SentAt(k2000).Stamp(pOriginateTimestamp, stamp);
}

// A kiss-o'-death with Code (leap indicator 3, stratum 0, no timestamps)
// answering the request stamped Stamp.
inline TReplyBuilder Kiss(const char* code, uint64_t stamp = kRequestStamp) {
  const auto byte = [code](int i) { return static_cast<uint8_t>(code[i]); };
  return TReplyBuilder()
      .Flags(0xE4)
      .Bytes(pReferenceId, {byte(0), byte(1), byte(2), byte(3)})
      .Stamp(pOriginateTimestamp, stamp);
}

}  // namespace sntp::test
