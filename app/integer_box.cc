#include "app/integer_box.h"

#include <cstdint>
#include <string>

namespace pl {
namespace {

bool IsCBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of t that the C library's integer reading looks at.
struct IntegerSpan {
  std::size_t sign_at;    // where the sign or the first digit stands
  std::size_t digits_at;  // first digit
  std::size_t digits_end;
};

IntegerSpan ScanInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsCBlank(s[i])) ++i;
  const std::size_t sign_at = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t digits_at = i;
  while (i < s.size() && IsAsciiDigit(s[i])) ++i;
  return {sign_at, digits_at, i};
}

}  // namespace

bool AcceptsTypedCharacter(char32_t c) { return (c >= U'0' && c <= U'9') || c == U'-'; }

Text KeepDigitString(const Text& t) {
  const std::string_view s = t.view();
  const IntegerSpan span = ScanInteger(s);
  if (span.digits_end == span.digits_at) return Text();
  return Text(s.substr(span.sign_at, span.digits_end - span.sign_at));
}

Text RewriteAsInteger(const Text& t) {
  const std::string_view s = t.view();
  const IntegerSpan span = ScanInteger(s);
  const bool negative = span.digits_at > span.sign_at && s[span.sign_at] == '-';
  // Accumulate the magnitude, saturating well beyond the 32-bit range: the
  // clamp below gives the same answer as a 64-bit reading would.
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  for (std::size_t i = span.digits_at; i < span.digits_end; ++i) {
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > kCap) magnitude = kCap;
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  if (value == 0) return Text();
  return Text(std::to_string(value));
}

Text RewriteOnLeave(EditStyle style, const Text& t) {
  switch (style) {
    case EditStyle::kDigitString:
      return KeepDigitString(t);
    case EditStyle::kIntegerNumber:
      return RewriteAsInteger(t);
    default:
      return t;
  }
}

}  // namespace pl
