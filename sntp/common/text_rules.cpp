#include "sntp/common/text_rules.h"

namespace sntp {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string TrimBlanksAndControls(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

bool StartsWithDigit(std::string_view text) {
  return !text.empty() && text[0] >= '0' && text[0] <= '9';
}

int32_t ParseLeadingDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  uint32_t value = 0;  // unsigned, so that long digit runs wrap instead of overflowing
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(value);
}

bool NeedsNameLookup(const std::string& host) {
  if (host.empty() || host.size() > kMaxHostTextLength) return false;
  const std::string name = TrimBlanksAndControls(host);
  return !name.empty() && !StartsWithDigit(name);
}

}  // namespace sntp
