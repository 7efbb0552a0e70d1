#pragma once
// The library's log, "sntp.log" beside the host executable.
#include <string_view>

namespace sntp {

// Opens the log for appending (creating it), writes one line stamped with
// the local time and closes it again. A line always starts a line of its
// own, and the log stays within kLogSizeLimit (log_line.h). A line that
// cannot be written is skipped. Safe from any thread.
void WriteLog(std::string_view message) noexcept;

}  // namespace sntp
