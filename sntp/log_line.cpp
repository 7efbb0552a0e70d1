#include "sntp/log_line.h"

namespace sntp {

namespace {

void AppendTwoDigits(std::string& Out, int Value) {
  Out += static_cast<char>('0' + (Value / 10) % 10);
  Out += static_cast<char>('0' + Value % 10);
}

}  // namespace

std::string LoadMarkerMessage() { return std::string(53, '-'); }

std::string FormatLogLine(const TLocalDateTime& Now, std::string_view TimeSeparator,
                          std::string_view Message) {
  std::string line;
  line.reserve(20 + TimeSeparator.size() * 2 + Message.size());
  AppendTwoDigits(line, Now.Day);
  line += '.';
  AppendTwoDigits(line, Now.Month);
  line += ' ';
  AppendTwoDigits(line, Now.Hour);
  line += TimeSeparator;
  AppendTwoDigits(line, Now.Minute);
  line += TimeSeparator;
  AppendTwoDigits(line, Now.Second);
  line += "   ";
  line += Message;
  line += "\r\n";
  return line;
}

std::string LogFilePathFor(std::string_view ExecutablePath) {
  const std::size_t separator = ExecutablePath.find_last_of("\\:");
  const std::string_view directory = separator == std::string_view::npos
                                         ? std::string_view{}
                                         : ExecutablePath.substr(0, separator + 1);
  std::string path(directory);
  path += "sntp.log";
  return path;
}

}  // namespace sntp
