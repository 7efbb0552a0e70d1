#pragma once
// The library's log, "sntp.log" beside the host executable, and the local
// clock it is stamped with.
#include <string_view>

#include "sntp/ntp_time.h"

namespace sntp {

// The local calendar date and time of day, with milliseconds.
TLocalDateTime LocalDateTimeNow();

// Local now as a day count.
double LocalNowDays();

// Opens the log for appending (creating it), writes one stamped line and
// closes it again. A line that cannot be written is skipped.
void WriteLog(std::string_view Message) noexcept;

}  // namespace sntp
