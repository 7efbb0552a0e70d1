#pragma once
// The library's log, "sntp.log" beside the host executable.
#include <string_view>

namespace sntp {

// Opens the log for appending (creating it), writes one line stamped with
// the local time and closes it again. A line that cannot be written is
// skipped.
void WriteLog(std::string_view message) noexcept;

}  // namespace sntp
