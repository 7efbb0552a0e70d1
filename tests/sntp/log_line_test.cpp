// The log's line format and where the log file lives.
#include <gtest/gtest.h>

#include "sntp/log_line.h"

namespace sntp {
namespace {

TEST(LogLine, DayMonthTimeThreeBlanksMessageCrLf) {
  struct Case { TLocalDateTime Now; const char* Separator; const char* Message; const char* Line; };
  const Case cases[] = {
      {{2026, 12, 6, 14, 5, 9, 999}, ":", "SNTP Object is created",
       "06.12 14:05:09   SNTP Object is created\r\n"},
      {{2027, 1, 31, 0, 0, 0, 0}, ".", "Querying pool", "31.01 00.00.00   Querying pool\r\n"},
      {{2027, 7, 4, 23, 59, 58, 0}, " h ", "", "04.07 23 h 59 h 58   \r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLogLine(c.Now, c.Separator, c.Message), c.Line);
}

TEST(LogFile, LivesBesideTheExecutable) {
  struct Case { const char* Executable; const char* Log; };
  const Case cases[] = {
      {"C:\\Program Files\\Clock\\clock.exe", "C:\\Program Files\\Clock\\sntp.log"},
      {"C:\\clock.exe", "C:\\sntp.log"},
      {"C:clock.exe", "C:sntp.log"},
      {"\\\\server\\share\\clock.v2\\clock.exe", "\\\\server\\share\\clock.v2\\sntp.log"},
      {"clock.exe", "sntp.log"},
      {"", "sntp.log"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogFilePathFor(c.Executable), c.Log) << c.Executable;
}

}  // namespace
}  // namespace sntp
