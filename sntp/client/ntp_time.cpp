#include "sntp/client/ntp_time.h"

namespace sntp {

namespace {

constexpr double kTwoPow32 = 4294967296.0;
constexpr uint32_t kEraZeroBit = 0x80000000u;

// Days from 1970-01-01 to a proleptic Gregorian date (civil-from-days inverse).
int64_t DaysFromUnixEpoch(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
  const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01 as a day count

}  // namespace

double TimestampToDays(uint32_t seconds, uint32_t fraction) {
  // NTP seconds wrap every 2^32 s; era 0 ends 2036-02-07 06:28:16 UTC.
  // Servers in service never send times from 1900 to 1968, so the seconds
  // field is read as 1968-2036 (era 0) when its top bit is set and as
  // 2036-2104 (era 1, seconds + 2^32) when it is clear. The all-zero
  // timestamp therefore reads as 2036-02-07 06:28:16.
  double eraSeconds = static_cast<double>(seconds);
  if ((seconds & kEraZeroBit) == 0) eraSeconds += kTwoPow32;
  const double whole = eraSeconds / kSecondsPerDay + kNtpEpochDay;
  // Only the top 24 bits of the fraction are kept (about 60 ns): finer than
  // the millisecond tick the round trip is measured with.
  const double fraction24 = static_cast<double>(fraction >> 8);
  return whole + fraction24 / (kSecondsPerDay * 16777216.0);
}

double SignMagnitudeToSeconds(uint32_t raw) {
  const double magnitude = static_cast<double>(raw & 0x7fffffffu) / 65536.0;
  return (raw & 0x80000000u) ? -magnitude : magnitude;
}

double RoundTripMilliseconds(int64_t sendMicroseconds, int64_t receiveMicroseconds) {
  if (receiveMicroseconds <= sendMicroseconds) return 0.0;
  return static_cast<double>(receiveMicroseconds - sendMicroseconds) / 1000.0;
}

double ServerTimeAtArrival(double receiveTimestamp, double transmitTimestamp,
                           double roundTripMs) {
  const double roundTripDays = roundTripMs / kMillisecondsPerDay;
  const double serverHoldDays = transmitTimestamp - receiveTimestamp;
  return transmitTimestamp + (roundTripDays - serverHoldDays) * 0.5;
}

double EncodeDayCount(const TLocalDateTime& time) {
  const int64_t date = DaysFromUnixEpoch(time.Year, time.Month, time.Day) + kUnixEpochDay;
  const int64_t milliseconds = ((time.Hour * 60LL + time.Minute) * 60 + time.Second) * 1000 +
                               time.Milliseconds;
  const double microseconds = static_cast<double>(milliseconds * 1000 + time.Microseconds);
  return static_cast<double>(date) + microseconds / (kMillisecondsPerDay * 1000.0);
}

}  // namespace sntp
