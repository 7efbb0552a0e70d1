#pragma once
// The local date and time as the platform's clock gives it: what the client
// turns into a day count, and what stamps the log's lines.

namespace sntp {

// A calendar date and time of day, as the platform's local clock gives it.
// Microseconds is the part below the millisecond (0-999), where the clock
// has one.
struct TLocalDateTime {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Milliseconds = 0, Microseconds = 0;
};

}  // namespace sntp
