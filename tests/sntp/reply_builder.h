#pragma once
// SNTP packets for tests, built from named pieces placed at their offsets.
#include <cstdint>
#include <initializer_list>

#include "sntp/sntp_packet.h"

namespace sntp::test {

struct ReplyBuilder {
  TPacket Packet{};
  ReplyBuilder& Flags(uint8_t v) { Packet[pFlags] = v; return *this; }
  ReplyBuilder& Stratum(uint8_t v) { Packet[pStratum] = v; return *this; }
  ReplyBuilder& Bytes(std::size_t offset, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Packet[offset++] = b;
    return *this;
  }
  ReplyBuilder& Timestamp(std::size_t offset, uint32_t seconds, uint32_t fraction) {
    for (int i = 0; i < 4; ++i) {
      Packet[offset + i] = static_cast<uint8_t>(seconds >> (24 - 8 * i));
      Packet[offset + 4 + i] = static_cast<uint8_t>(fraction >> (24 - 8 * i));
    }
    return *this;
  }
  // A synchronised stratum-2 server's reply (version 3, mode 4) received and
  // sent at Seconds.
  static ReplyBuilder Good(uint32_t seconds = 3155673600u) {
    ReplyBuilder b;
    b.Flags(0x1C).Stratum(2).Timestamp(pReceiveTimestamp, seconds, 0).Timestamp(pTransmitTimestamp, seconds, 0);
    return b;
  }
};

}  // namespace sntp::test
