// The first-argument rule: only "init", exactly, as the first argument
// selects first-run mode; blanks separate arguments, quotes group them.
#include <gtest/gtest.h>

#include "quickintro/command_line.h"

namespace quickintro {
namespace {

struct TFirstArgumentCase {
  const char* CommandLine;
  const char* FirstArgument;
  bool FirstRun;
};

TEST(CommandLine, FirstArgumentDecidesTheMode) {
  const TFirstArgumentCase cases[] = {
      {"quickintro.exe init", "init", true},
      {"quickintro.exe \"init\"", "init", true},
      {"\"C:\\Program Files\\Zaradada Clock\\quickintro.exe\" init", "init", true},
      {"quickintro.exe\tinit", "init", true},                 // a tab is a blank
      {"quickintro.exe\x01\x1finit\r\n", "init", true},        // so is every control character
      {"   quickintro.exe    init   ", "init", true},
      {"quickintro.exe in\"it\"", "init", true},               // quotes dropped mid-word
      {"quickintro.exe \"\"init\"\"", "init", true},
      {"quickintro.exe init extra words", "init", true},
      {"quickintro.exe INIT", "INIT", false},
      {"quickintro.exe Init", "Init", false},
      {"quickintro.exe /init", "/init", false},
      {"quickintro.exe init2", "init2", false},
      {"quickintro.exe \"init \"", "init ", false},            // a quoted blank belongs to the argument
      {"quickintro.exe", "", false},
      {"", "", false},
      {"quickintro.exe \"\" init", "", false},                  // an empty first argument
      {"quickintro.exe other init", "other", false},            // "init" only second
      {"quickintro.exe \"init", "init", true},                  // an open quote runs to the end
  };
  for (const TFirstArgumentCase& c : cases) {
    SCOPED_TRACE(c.CommandLine);
    EXPECT_EQ(CommandLineArgument(c.CommandLine, 1), c.FirstArgument);
    EXPECT_EQ(IsFirstRunCommandLine(c.CommandLine), c.FirstRun);
  }
}

// Only the first argument counts: "--help" or "init" anywhere else, and the
// scripted test build's options, change nothing.
TEST(CommandLine, StartModeFromTheFirstArgumentAlone) {
  const struct {
    const char* CommandLine;
    TStartMode Mode;
  } cases[] = {
      {"quickintro.exe --help", smUsage},
      {"quickintro.exe init --help", smFirstRun},
      {"quickintro.exe x --help", smNormal},
      {"quickintro.exe --press-next 3 --report-painted f", smNormal},
      {"quickintro.exe init --report-painted f", smFirstRun},
      {"quickintro.exe -help", smNormal},
      {"quickintro.exe", smNormal},
  };
  for (const auto& c : cases) EXPECT_EQ(StartModeOf(c.CommandLine), c.Mode) << c.CommandLine;
}

TEST(CommandLine, ArgumentsByPosition) {
  const char* line = "\"C:\\a b\\q.exe\"  one \"two three\"\tfour";
  EXPECT_EQ(CommandLineArgument(line, 0), "C:\\a b\\q.exe");
  EXPECT_EQ(CommandLineArgument(line, 1), "one");
  EXPECT_EQ(CommandLineArgument(line, 2), "two three");
  EXPECT_EQ(CommandLineArgument(line, 3), "four");
  EXPECT_EQ(CommandLineArgument(line, 4), "");
  EXPECT_EQ(CommandLineArgument(line, 99), "");
}

}  // namespace
}  // namespace quickintro
