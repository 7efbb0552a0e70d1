#pragma once
// Time arithmetic of the time query library, free of any platform call:
// NTP timestamps and fixed-point fields to numbers, day counts, and the
// round trip read on a monotonic counter.
//
// A day count is a double holding days since 1899-12-30 00:00: the integer
// part is the date, the fraction the time of day. Day 2.0 is 1900-01-01 00:00,
// where NTP seconds start.
#include <cstdint>

#include "sntp/common/local_time.h"

namespace sntp {

constexpr double kNtpEpochDay = 2.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kMillisecondsPerDay = 86400000.0;

// Seconds and binary fraction of an NTP timestamp as a UTC day count.
double TimestampToDays(uint32_t seconds, uint32_t fraction);

// A 32-bit NTP short-format field (root delay, root dispersion): a sign bit in
// front of a 31-bit magnitude in units of 2^-16 s. Not two's complement.
double SignMagnitudeToSeconds(uint32_t raw);

// Milliseconds, with their fraction, from Send to Receive on a monotonic
// microsecond counter; a counter read out of order gives 0, never less.
double RoundTripMilliseconds(int64_t sendMicroseconds, int64_t receiveMicroseconds);

// The server's time when its reply arrived: its send time T3 plus half of the
// time the exchange spent on the network (the round trip less the time the
// server held the request, T3 - T2). All times are day counts.
double ServerTimeAtArrival(double receiveTimestamp, double transmitTimestamp,
                           double roundTripMs);

// Date plus time of day as a day count.
double EncodeDayCount(const TLocalDateTime& time);

}  // namespace sntp
