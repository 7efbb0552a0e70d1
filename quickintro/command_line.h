#pragma once
// The wizard's command line: only the first argument is examined, and
// "init" there selects first-run mode. Platform-free.
#include <cstdint>
#include <string>
#include <string_view>

namespace quickintro {

// The argument at a position of a whole command line (0 is the program).
// Arguments are separated by runs of blanks (the space and every control
// character); a double-quoted stretch may hold blanks and its quotes are
// dropped. Empty when there are fewer arguments.
std::string CommandLineArgument(std::string_view commandLine, int position);

// True when the first argument is exactly "init" (case-sensitive).
bool IsFirstRunCommandLine(std::string_view commandLine);

// What the program does: only the first argument counts, and everything
// after it is ignored.
enum TStartMode : std::uint8_t { smNormal, smFirstRun, smUsage };
TStartMode StartModeOf(std::string_view commandLine);

}  // namespace quickintro
