// The reply codec and the timestamp arithmetic: the era rule, day counts,
// the server time at arrival, the request, and the checks that refuse a
// reply or find a kiss-o'-death.
#include <gtest/gtest.h>

#include "sntp/client/ntp_time.h"
#include "sntp/client/reply_checks.h"
#include "sntp/client/sntp_packet.h"
#include "tests/sntp/client/reply_builder.h"

namespace sntp {
namespace {

using test::Answer;
using test::Kiss;
using test::kRequestStamp;
using test::TReplyBuilder;

constexpr double kEraOneStartDay = 2.0 + 4294967296.0 / 86400.0;  // 2036-02-07 06:28:16
constexpr double kEraZeroStartDay = 2.0 + 2147483648.0 / 86400.0;  // 1968-01-20 03:14:08
constexpr double kOneMillisecondDays = 1.0 / 86400000.0;

TEST(Timestamp, ConvertsSecondsAndFractionWithTheEraRule) {
  struct TCase { const char* What; uint32_t Seconds, Fraction; double Days; };
  const TCase cases[] = {
      {"2000-01-01 00:00:00 is a whole day", test::k2000, 0, 36526.0},
      {"top bit set: first second of the range", 0x80000000u, 0, kEraZeroStartDay},
      {"all zero reads in the next era", 0, 0, kEraOneStartDay},
      {"top bit clear: seconds + 2^32", 86400, 0, kEraOneStartDay + 1.0},
      {"last second before the era turns", 0xFFFFFFFFu, 0, kEraOneStartDay - 1.0 / 86400.0},
      {"half a second", test::k2000, 0x80000000u, 36526.0 + 0.5 / 86400.0},
      {"low fraction byte is ignored", test::k2000, 0x000000FFu, 36526.0},
  };
  for (const TCase& c : cases) {
    EXPECT_DOUBLE_EQ(TimestampToDays(c.Seconds, c.Fraction), c.Days) << c.What;
  }
  EXPECT_EQ(TimestampToDays(test::k2000, 0), 36526.0) << "exact, not merely close";
  // The ends of the range agree with the calendar.
  EXPECT_NEAR(TimestampToDays(0, 0), EncodeDayCount({2036, 2, 7, 6, 28, 16, 0}), 1e-9);
  EXPECT_NEAR(TimestampToDays(0x80000000u, 0), EncodeDayCount({1968, 1, 20, 3, 14, 8, 0}), 1e-9);
}

TEST(DayCount, EncodesDatesAndTimesOfDay) {
  struct TCase { TLocalDateTime Time; double Days; };
  const TCase cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
      {{2024, 2, 29, 0, 0, 0, 0}, 45351.0},
      {{2024, 3, 1, 6, 0, 0, 500, 250}, 45352.25 + 500.25 * kOneMillisecondDays},
      {{2100, 3, 1, 0, 0, 0, 0}, 73110.0},  // 2100 is no leap year
  };
  for (const TCase& c : cases) {
    EXPECT_NEAR(EncodeDayCount(c.Time), c.Days, 1e-10) << c.Time.Year << "-" << c.Time.Month << "-" << c.Time.Day;
  }
}

TEST(ServerTime, AddsHalfTheNetworkTime) {
  const double t2 = 45000.25;
  // The server held the request 10 ms: (100 - 10) / 2 = 45 ms after T3.
  const double t3 = t2 + 10 * kOneMillisecondDays;
  EXPECT_NEAR(ServerTimeAtArrival(t2, t3, 100), t3 + 45 * kOneMillisecondDays, 1e-11);
  EXPECT_NEAR(ServerTimeAtArrival(t2, t2, 0), t2, 1e-11);
  EXPECT_NEAR(ServerTimeAtArrival(t2, t2, 0.5), t2 + 0.25 * kOneMillisecondDays, 1e-13) << "below the millisecond";
}

TEST(Request, IsVersionOneClientModeCarryingOnlyItsStamp) {
  EXPECT_EQ(BuildRequest(0x0123456789ABCDEFull),
            TReplyBuilder().Flags(0x0B).Stamp(pTransmitTimestamp, 0x0123456789ABCDEFull).Packet);
}

// The datagram comes from the server, 48 bytes long, 100 ms after the
// request left, unless a case says otherwise.
TEST(ReplyChecks, RefuseWhatNoClientShouldBelieve) {
  // 10.0.0.1, 127.0.0.1 and 10.0.0.9 in network byte order.
  constexpr uint32_t kServer = 0x0100000A, kLoopback = 0x0100007F, kOther = 0x0900000A;
  const TSentRequest request{kRequestStamp, kServer, 4000};
  struct TCase { const char* What; TReplyBuilder Reply; TReplyRefusal Refusal; TArrival Arrival = {48, kServer, 100}; };
  const TCase cases[] = {
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
      {"our own request heard back", TReplyBuilder{BuildRequest(kRequestStamp)}, rrNotServerMode},
      {"mode 5 (broadcast)", Answer().Flags(0x1D), rrNotServerMode},
      {"kiss-o'-death RATE", Kiss("RATE"), rrKissOfDeath},
      {"kiss-o'-death DENY, late", Kiss("DENY"), rrKissOfDeath, {48, kServer, 4001}},
      {"kiss-o'-death RSTR, leap indicator 0", Kiss("RSTR").Flags(0x24), rrKissOfDeath},
      {"kiss-o'-death from another address", Kiss("RATE"), rrWrongSource, {48, kOther, 100}},
      {"kiss-o'-death in a request", Kiss("DENY").Flags(0xE3), rrNotServerMode},
      {"kiss-o'-death for another request", Kiss("RATE", 0), rrNotSynchronised},
      {"kiss code that asks nothing (INIT)", Kiss("INIT"), rrNotSynchronised},
      {"kiss code in lower case", Kiss("rate"), rrNotSynchronised},
      {"RATE at stratum 2 is no kiss", Answer().Bytes(pReferenceId, {'R', 'A', 'T', 'E'}), rrAcceptable},
      {"unsynchronised: leap 3, stratum 16", Answer().Flags(0xDC).Stratum(16), rrNotSynchronised},
      {"stratum 0", Answer().Stratum(0), rrStratumOutOfRange},
      {"stratum 16", Answer().Stratum(16), rrStratumOutOfRange},
      {"transmit timestamp all zero", Answer().Timestamp(pTransmitTimestamp, 0, 0), rrNoTransmitTime},
      {"originate timestamp zero", Answer(0), rrNotOurRequest},
      {"originate timestamp of another request", Answer(kRequestStamp + 1), rrNotOurRequest},
      {"our stamp in the transmit field instead", Answer(0).Stamp(pTransmitTimestamp, kRequestStamp),
       rrNotOurRequest},
      {"round trip 1 ms over the time-out", Answer(), rrLate, {48, kServer, 4001}},
      {"late and for another request: ignored, not late", Answer(7), rrNotOurRequest, {48, kServer, 4001}},
  };
  for (const TCase& c : cases) {
    const TReplyRefusal refusal = CheckReply(c.Reply.Packet, c.Arrival, request);
    EXPECT_EQ(refusal, c.Refusal) << c.What << ": " << ReplyRefusalText(refusal);
  }
}

}  // namespace
}  // namespace sntp
