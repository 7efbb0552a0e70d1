#pragma once
// The text of the library's log, "sntp.log": where it lives and how a line
// reads. Writing the file is the platform's part (win32/log_file.h).
#include <cstdint>
#include <string>
#include <string_view>

#include "sntp/common/local_time.h"

namespace sntp {

// Written when the library is loaded into a process: 53 '-'.
std::string LoadMarkerMessage();

// "dd.mm hh:nn:ss", three blanks, the message, CR LF. The date separator is
// always "."; TimeSeparator is the user's locale time separator.
std::string FormatLogLine(const TLocalDateTime& now, std::string_view timeSeparator,
                          std::string_view message);

// The log stays below this size: a line that would take it past is written
// to a new log, the old one kept as "sntp.log.1" (replacing an older one), so
// that a clock that runs for years never fills its disk: two files of 1 MiB
// at most, some 20,000 lines of the newest queries.
constexpr uint64_t kLogSizeLimit = 1 << 20;

// Whether the log of Size bytes is to be started anew before a line of
// LineLength bytes is appended. A log that holds nothing is never started
// anew, however long the line.
bool LogNeedsRenewal(uint64_t size, std::size_t lineLength);

// Where the old log is kept when a new one is started.
std::u16string KeptLogPathFor(std::u16string_view logPath);

// "sntp.log" in the directory of the executable: the path up to and
// including its last '\' or ':' (none: the bare file name). UTF-16, as the
// system gives it, so that any folder name survives.
std::u16string LogFilePathFor(std::u16string_view executablePath);

}  // namespace sntp
