#include "sntp/socket/text_rules.h"

namespace sntp {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string TrimBlanksAndControls(std::string_view Text) {
  size_t first = 0;
  size_t last = Text.size();
  while (first < last && IsBlankOrControl(Text[first])) ++first;
  while (last > first && IsBlankOrControl(Text[last - 1])) --last;
  return std::string(Text.substr(first, last - first));
}

bool StartsWithDigit(std::string_view Text) {
  return !Text.empty() && Text[0] >= '0' && Text[0] <= '9';
}

int32_t ParseLeadingDecimal(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size() && Text[i] == ' ') ++i;
  uint32_t value = 0;  // unsigned, so that long digit runs wrap instead of overflowing
  for (; i < Text.size() && Text[i] >= '0' && Text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(Text[i] - '0');
  return static_cast<int32_t>(value);
}

}  // namespace sntp
