#pragma once
// Text rules of the server texts, the endpoint properties and the
// resolvers: what counts as blank, when a text is a host name to look up,
// when it is read as a number, and how that number is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sntp {

// Text without leading and trailing bytes of code 32 or less (blanks and
// control characters); bytes of 128 and above are kept.
std::string TrimBlanksAndControls(std::string_view text);

// Longest host text a resolver accepts.
constexpr size_t kMaxHostTextLength = 256;

// The host text is a name that the resolvers would hand to the name
// service: not too long, not blank, and not starting with a digit (those are
// dotted addresses, converted without any lookup).
bool NeedsNameLookup(const std::string& host);

// True when the first byte is '0' to '9'.
bool StartsWithDigit(std::string_view text);

// Skips leading blanks (code 32 only), then reads decimal digits; anything
// after them is ignored. No sign; 0 when no digit follows. The value wraps
// modulo 2^32 like the 32-bit arithmetic it mirrors.
int32_t ParseLeadingDecimal(std::string_view text);

}  // namespace sntp
