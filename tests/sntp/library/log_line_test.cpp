// The log's line format and where the log file lives.
#include <gtest/gtest.h>

#include "sntp/library/log_line.h"

namespace sntp {
namespace {

TEST(LogLine, DayMonthTimeThreeBlanksMessageCrLf) {
  struct TCase { TLocalDateTime Now; const char* Separator; const char* Message; const char* Line; };
  const TCase cases[] = {
      {{2026, 12, 6, 14, 5, 9, 999}, ":", "SNTP Object is created",
       "06.12 14:05:09   SNTP Object is created\r\n"},
      {{2027, 1, 31, 0, 0, 0, 0}, ".", "Querying pool", "31.01 00.00.00   Querying pool\r\n"},
      {{2027, 7, 4, 23, 59, 58, 0}, " h ", "", "04.07 23 h 59 h 58   \r\n"},
  };
  for (const TCase& c : cases) EXPECT_EQ(FormatLogLine(c.Now, c.Separator, c.Message), c.Line);
}

TEST(LogFile, LivesBesideTheExecutable) {
  struct TCase { const char16_t* Executable; const char16_t* Log; };
  const TCase cases[] = {
      {u"C:\\Program Files\\Clock\\clock.exe", u"C:\\Program Files\\Clock\\sntp.log"},
      {u"C:\\clock.exe", u"C:\\sntp.log"},
      {u"C:clock.exe", u"C:sntp.log"},
      {u"\\\\server\\share\\clock.v2\\clock.exe", u"\\\\server\\share\\clock.v2\\sntp.log"},
      {u"\\\\?\\C:\\Clock\\clock.exe", u"\\\\?\\C:\\Clock\\sntp.log"},
      {u"clock.exe", u"sntp.log"},
      {u"", u"sntp.log"},
      // Greek and Cyrillic, which Windows-1252 lacks, a character beyond the
      // BMP, and one whose Shift-JIS trail byte is '\' (U+8868) stay whole.
      {u"D:\\\u038F\u03C1\u03B1-\u0427\u0430\u0441\u044B\\clock.exe",
       u"D:\\\u038F\u03C1\u03B1-\u0427\u0430\u0441\u044B\\sntp.log"},
      {u"D:\\\U0001F570\u8868\\clock.exe", u"D:\\\U0001F570\u8868\\sntp.log"},
  };
  for (const TCase& c : cases) EXPECT_EQ(LogFilePathFor(c.Executable), std::u16string(c.Log));
}

// The log is renewed before a line would take it past its limit; an empty
// log takes any line.
TEST(LogFile, RenewedBeforeALineWouldTakeItPastItsLimit) {
  struct TCase { uint64_t Size; size_t Line; bool Renewed; };
  const TCase cases[] = {
      {kLogSizeLimit - 40, 40, false},
      {kLogSizeLimit - 40, 41, true},
      {kLogSizeLimit + 5, 1, true},  // grown past it by another program
      {0, kLogSizeLimit * 2, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(LogNeedsRenewal(c.Size, c.Line), c.Renewed) << c.Size << " + " << c.Line;
  EXPECT_EQ(KeptLogPathFor(u"C:\\Clock\\sntp.log"), u"C:\\Clock\\sntp.log.1");
}

}  // namespace
}  // namespace sntp
