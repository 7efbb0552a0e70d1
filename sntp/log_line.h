#pragma once
// The text of the library's log, "sntp.log": where it lives and how a line
// reads. Writing the file is the platform's part (win32/log_file.h).
#include <string>
#include <string_view>

#include "sntp/ntp_time.h"

namespace sntp {

// Written when the library is loaded into a process: 53 '-'.
std::string LoadMarkerMessage();

// "dd.mm hh:nn:ss", three blanks, the message, CR LF. The date separator is
// always "."; TimeSeparator is the user's locale time separator.
std::string FormatLogLine(const TLocalDateTime& now, std::string_view timeSeparator,
                          std::string_view message);

// "sntp.log" in the directory of the executable: the path up to and
// including its last '\' or ':' (none: the bare file name). UTF-16, as the
// system gives it, so that any folder name survives.
std::u16string LogFilePathFor(std::u16string_view executablePath);

}  // namespace sntp
