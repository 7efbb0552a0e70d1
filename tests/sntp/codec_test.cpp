// The reply codec and the timestamp arithmetic: field extraction, the era
// rule, sign-magnitude fields, the server time at arrival, the validity
// test, and the checks that refuse a reply or find a kiss-o'-death.
#include <gtest/gtest.h>

#include "reply_builder.h"
#include "sntp/ntp_time.h"
#include "sntp/reply_checks.h"
#include "sntp/sntp_packet.h"

namespace sntp {
namespace {

using test::ReplyBuilder;

constexpr double kEraOneStartDay = 2.0 + 4294967296.0 / 86400.0;  // 2036-02-07 06:28:16
constexpr double kEraZeroStartDay = 2.0 + 2147483648.0 / 86400.0;  // 1968-01-20 03:14:08
constexpr double kOneMillisecondDays = 1.0 / 86400000.0;

TEST(Timestamp, ConvertsSecondsAndFractionWithTheEraRule) {
  struct Case { const char* What; uint32_t Seconds, Fraction; double Days; };
  const Case cases[] = {
      {"2000-01-01 00:00:00 is a whole day", 3155673600u, 0, 36526.0},
      {"top bit set: first second of the range", 0x80000000u, 0, kEraZeroStartDay},
      {"all zero reads in the next era", 0, 0, kEraOneStartDay},
      {"top bit clear: seconds + 2^32", 86400, 0, kEraOneStartDay + 1.0},
      {"last second before the era turns", 0xFFFFFFFFu, 0, kEraOneStartDay - 1.0 / 86400.0},
      {"half a second", 3155673600u, 0x80000000u, 36526.0 + 0.5 / 86400.0},
      {"low fraction byte is ignored", 3155673600u, 0x000000FFu, 36526.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(TimestampToDays(c.Seconds, c.Fraction), c.Days) << c.What;
  }
  EXPECT_EQ(TimestampToDays(3155673600u, 0), 36526.0) << "exact, not merely close";
  // The ends of the range agree with the calendar.
  EXPECT_NEAR(TimestampToDays(0, 0), EncodeDayCount({2036, 2, 7, 6, 28, 16, 0}), 1e-9);
  EXPECT_NEAR(TimestampToDays(0x80000000u, 0), EncodeDayCount({1968, 1, 20, 3, 14, 8, 0}), 1e-9);
}

TEST(DayCount, EncodesDatesAndTimesOfDay) {
  struct Case { TLocalDateTime Time; double Days; };
  const Case cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
      {{2024, 2, 29, 0, 0, 0, 0}, 45351.0},
      {{2024, 3, 1, 6, 0, 0, 500}, 45352.25 + 500 * kOneMillisecondDays},
      {{2024, 3, 1, 6, 0, 0, 500, 250}, 45352.25 + 500.25 * kOneMillisecondDays},
      {{2100, 3, 1, 0, 0, 0, 0}, 73110.0},  // 2100 is no leap year
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(EncodeDayCount(c.Time), c.Days, 1e-10)
        << c.Time.Year << "-" << c.Time.Month << "-" << c.Time.Day;
  }
}

TEST(ShortFormat, TopBitIsASignInFrontOfTheMagnitude) {
  struct Case { uint8_t B[4]; double Seconds; };
  const Case cases[] = {
      {{0x00, 0x01, 0x00, 0x00}, 1.0},
      {{0x00, 0x00, 0x80, 0x00}, 0.5},
      {{0x80, 0x00, 0x00, 0x01}, -1.0 / 65536.0},
      {{0xFF, 0xFF, 0x00, 0x00}, -32767.0},  // two's complement would give -1.0
      {{0x7F, 0xFF, 0xFF, 0xFF}, 32767.0 + 65535.0 / 65536.0},
      {{0x80, 0x00, 0x00, 0x00}, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadShortFormatSeconds(std::span<const uint8_t, 4>(c.B)), c.Seconds)
        << int(c.B[0]) << " " << int(c.B[1]) << " " << int(c.B[2]) << " " << int(c.B[3]);
  }
}

TEST(ServerTime, AddsHalfTheNetworkTime) {
  const double t2 = 45000.25;
  // T2 = T3 and a round trip of 100 ms: T3 + 50 ms.
  EXPECT_NEAR(ServerTimeAtArrival(t2, t2, 100), t2 + 50 * kOneMillisecondDays, 1e-11);
  // The server held the request 10 ms: (100 - 10) / 2 = 45 ms after T3.
  const double t3 = t2 + 10 * kOneMillisecondDays;
  EXPECT_NEAR(ServerTimeAtArrival(t2, t3, 100), t3 + 45 * kOneMillisecondDays, 1e-11);
  EXPECT_NEAR(ServerTimeAtArrival(t2, t2, 0), t2, 1e-11);
  EXPECT_NEAR(ServerTimeAtArrival(t2, t2, 0.5), t2 + 0.25 * kOneMillisecondDays, 1e-13) << "below the millisecond";
}

TEST(Request, IsVersionOneClientModeCarryingOnlyItsStamp) {
  const TPacket request = BuildRequest(0x0123456789ABCDEFull);
  EXPECT_EQ(request, ReplyBuilder().Flags(0x0B).Timestamp(pTransmitTimestamp, 0x01234567, 0x89ABCDEF).Packet);
  EXPECT_EQ(TransmitStampOf(request), 0x0123456789ABCDEFull);
}

TEST(Decode, ReadsEveryFieldOfTheReply) {
  ReplyBuilder b;
  b.Flags(0xE3).Stratum(200).Bytes(pPoll, {0xFA, 0xEC});
  b.Bytes(pRootDelay, {0x00, 0x02, 0x80, 0x00}).Bytes(pRootDispersion, {0x80, 0x01, 0x00, 0x00});
  b.Bytes(pReferenceId, {'G', 'P', 'S', 0});
  b.Timestamp(pReferenceTimestamp, 3155673600u, 0);
  b.Timestamp(pOriginateTimestamp, 3155673600u + 86400, 0);
  b.Timestamp(pReceiveTimestamp, 3155673600u + 2 * 86400, 0x40000000u);
  b.Timestamp(pTransmitTimestamp, 3155673600u + 3 * 86400, 0xC0000000u);
  TSNTPReply reply;
  DecodeReply(b.Packet, reply);
  EXPECT_EQ(reply.LeapIndicator, 3);
  EXPECT_EQ(reply.VersionNumber, 4);
  EXPECT_EQ(reply.Mode, 3);
  EXPECT_EQ(reply.Stratum, 200) << "stratum is unsigned";
  EXPECT_EQ(reply.Poll, -6);
  EXPECT_EQ(reply.Precision, -20);
  EXPECT_EQ(reply.RootDelay, 2.5);
  EXPECT_EQ(reply.RootDispersion, -1.0);
  EXPECT_EQ(reply.ReferenceTimestamp, 36526.0);
  EXPECT_EQ(reply.OriginateTimestamp, 36527.0);
  EXPECT_NEAR(reply.ReceiveTimestamp, 36528.0 + 0.25 / 86400, 1e-10);
  EXPECT_NEAR(reply.TransmitTimestamp, 36529.0 + 0.75 / 86400, 1e-10);
}

TEST(Validity, JudgesLeapStratumAndTransmitTimestampOnly) {
  struct Case { const char* What; ReplyBuilder Reply; bool Invalid; };
  const Case cases[] = {
      {"good reply", ReplyBuilder::Good(), false},
      {"leap indicator 3", ReplyBuilder::Good().Flags(0xDC), true},
      {"leap indicator 2", ReplyBuilder::Good().Flags(0x9C), false},
      {"stratum 0", ReplyBuilder::Good().Stratum(0), true},
      {"stratum 16", ReplyBuilder::Good().Stratum(16), true},
      {"transmit timestamp all zero", ReplyBuilder::Good().Timestamp(pTransmitTimestamp, 0, 0), true},
      {"version 7", ReplyBuilder::Good().Flags(0x3C), false},
      {"mode 0", ReplyBuilder::Good().Flags(0x18), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsInvalidReply(c.Reply.Packet), c.Invalid) << c.What;
}

constexpr uint64_t kStamp = 0x8877665544332211ull;

// A good reply to the request stamped kStamp.
ReplyBuilder Answer() { return ReplyBuilder::Good().Timestamp(pOriginateTimestamp, 0x88776655, 0x44332211); }

// A kiss-o'-death with Code (leap indicator 3, stratum 0, no timestamps)
// answering the request stamped kStamp.
ReplyBuilder Kiss(const char (&code)[5]) {
  return ReplyBuilder()
      .Flags(0xE4)
      .Bytes(pReferenceId, {uint8_t(code[0]), uint8_t(code[1]), uint8_t(code[2]), uint8_t(code[3])})
      .Timestamp(pOriginateTimestamp, 0x88776655, 0x44332211);
}

// The datagram comes from the server, 48 bytes long, 100 ms after the
// request left, unless a case says otherwise.
TEST(ReplyChecks, RefuseWhatNoClientShouldBelieve) {
  // 10.0.0.1, 127.0.0.1 and 10.0.0.9 in network byte order.
  constexpr uint32_t kServer = 0x0100000A, kLoopback = 0x0100007F, kOther = 0x0900000A;
  const TSentRequest request{kStamp, kServer, 4000};
  struct Case { const char* What; ReplyBuilder Reply; TReplyRefusal Refusal; TArrival Arrival = {48, kServer, 100}; };
  const Case cases[] = {
      {"good reply to our request", Answer(), rrAcceptable},
      {"from 127.0.0.1", Answer(), rrAcceptable, {48, kLoopback, 100}},
      {"round trip equal to the time-out", Answer(), rrAcceptable, {48, kServer, 4000}},
      {"leap indicator 1, version 1 (chrony's answer)", Answer().Flags(0x4C), rrAcceptable},
      {"stratum 1", Answer().Stratum(1), rrAcceptable},
      {"stratum 15", Answer().Stratum(15), rrAcceptable},
      {"only the last transmit byte set", Answer().Timestamp(pTransmitTimestamp, 0, 1), rrAcceptable},
      {"zero receive timestamp is not judged", Answer().Timestamp(pReceiveTimestamp, 0, 0), rrAcceptable},
      {"47 bytes", Answer(), rrWrongSize, {47, kServer, 100}},
      {"not read (too long for the buffer)", Answer(), rrWrongSize, {-1, kServer, 100}},
      {"from another address", Answer(), rrWrongSource, {48, kOther, 100}},
      {"another address and 47 bytes: size first", Answer(), rrWrongSize, {47, kOther, 100}},
      {"our own request heard back", ReplyBuilder{BuildRequest(kStamp)}, rrNotServerMode},
      {"mode 5 (broadcast)", Answer().Flags(0x1D), rrNotServerMode},
      {"mode 0", Answer().Flags(0x18), rrNotServerMode},
      {"kiss-o'-death RATE", Kiss("RATE"), rrKissOfDeath},
      {"kiss-o'-death DENY, late", Kiss("DENY"), rrKissOfDeath, {48, kServer, 4001}},
      {"kiss-o'-death RSTR, leap indicator 0", Kiss("RSTR").Flags(0x24), rrKissOfDeath},
      {"kiss-o'-death from another address", Kiss("RATE"), rrWrongSource, {48, kOther, 100}},
      {"kiss-o'-death in a request", Kiss("DENY").Flags(0xE3), rrNotServerMode},
      {"kiss-o'-death for another request", Kiss("RATE").Timestamp(pOriginateTimestamp, 0, 0), rrNotSynchronised},
      {"kiss code that asks nothing (INIT)", Kiss("INIT"), rrNotSynchronised},
      {"kiss code in lower case", Kiss("rate"), rrNotSynchronised},
      {"RATE at stratum 2 is no kiss", Answer().Bytes(pReferenceId, {'R', 'A', 'T', 'E'}), rrAcceptable},
      {"unsynchronised: leap 3, stratum 16", Answer().Flags(0xDC).Stratum(16), rrNotSynchronised},
      {"stratum 0", Answer().Stratum(0), rrStratumOutOfRange},
      {"stratum 16", Answer().Stratum(16), rrStratumOutOfRange},
      {"stratum 255", Answer().Stratum(255), rrStratumOutOfRange},
      {"transmit timestamp all zero", Answer().Timestamp(pTransmitTimestamp, 0, 0), rrNoTransmitTime},
      {"originate timestamp zero", Answer().Timestamp(pOriginateTimestamp, 0, 0), rrNotOurRequest},
      {"originate timestamp of another request", Answer().Timestamp(pOriginateTimestamp, 0x88776655, 0x44332212),
       rrNotOurRequest},
      {"our stamp in the transmit field instead",
       ReplyBuilder::Good().Timestamp(pTransmitTimestamp, 0x88776655, 0x44332211), rrNotOurRequest},
      {"round trip 1 ms over the time-out", Answer(), rrLate, {48, kServer, 4001}},
      {"late and for another request: ignored, not late", Answer().Timestamp(pOriginateTimestamp, 0, 7),
       rrNotOurRequest, {48, kServer, 4001}},
  };
  for (const Case& c : cases) {
    const TReplyRefusal refusal = CheckReply(c.Reply.Packet, c.Arrival, request);
    EXPECT_EQ(refusal, c.Refusal) << c.What << ": " << ReplyRefusalText(refusal);
  }
}

}  // namespace
}  // namespace sntp
