#include "quickintro/command_line.h"

namespace quickintro {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Reads one argument starting at pos (which must not be on a blank) and
// leaves pos just after it.
std::string TakeArgument(std::string_view line, size_t& pos) {
  std::string argument;
  bool quoted = false;
  for (; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      argument += c;
    }
  }
  return argument;
}

}  // namespace

std::string CommandLineArgument(std::string_view commandLine, int position) {
  size_t pos = 0;
  for (int index = 0;; ++index) {
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    if (pos >= commandLine.size()) return {};
    std::string argument = TakeArgument(commandLine, pos);
    if (index == position) return argument;
  }
}

bool IsFirstRunCommandLine(std::string_view commandLine) {
  return CommandLineArgument(commandLine, 1) == "init";
}

TStartMode StartModeOf(std::string_view commandLine) {
  const std::string first = CommandLineArgument(commandLine, 1);
  if (first == "--help") return smUsage;
  return first == "init" ? smFirstRun : smNormal;
}

}  // namespace quickintro
