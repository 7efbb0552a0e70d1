#include "sntp/library/log_line.h"

namespace sntp {

namespace {

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + (value / 10) % 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::string LoadMarkerMessage() { return std::string(53, '-'); }

std::string FormatLogLine(const TLocalDateTime& now, std::string_view timeSeparator,
                          std::string_view message) {
  std::string line;
  line.reserve(20 + timeSeparator.size() * 2 + message.size());
  AppendTwoDigits(line, now.Day);
  line += '.';
  AppendTwoDigits(line, now.Month);
  line += ' ';
  AppendTwoDigits(line, now.Hour);
  line += timeSeparator;
  AppendTwoDigits(line, now.Minute);
  line += timeSeparator;
  AppendTwoDigits(line, now.Second);
  line += "   ";
  line += message;
  line += "\r\n";
  return line;
}

bool LogNeedsRenewal(uint64_t size, std::size_t lineLength) {
  return size > 0 && size + lineLength > kLogSizeLimit;
}

std::u16string KeptLogPathFor(std::u16string_view logPath) {
  std::u16string path(logPath);
  path += u".1";
  return path;
}

std::u16string LogFilePathFor(std::u16string_view executablePath) {
  const std::size_t separator = executablePath.find_last_of(u"\\:");
  const std::u16string_view directory = separator == std::u16string_view::npos
                                            ? std::u16string_view{}
                                            : executablePath.substr(0, separator + 1);
  std::u16string path(directory);
  path += u"sntp.log";
  return path;
}

}  // namespace sntp
