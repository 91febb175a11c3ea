// extract.cpp: cutting a value out of a text between markers.
#include <cstdint>

#include "text/text.h"

namespace pl {

namespace {

// Markers may spell a double quote as "#引号", so that a marker holding one
// can be written where a quote is awkward; only the markers are rewritten,
// never the text searched.
Text ExpandQuotes(const Text& marker) { return ReplaceText(marker, "#引号", "\"", true); }

}  // namespace

Text TextBetween(const Text& text, const Text& left, const Text& right, int start, bool ignore_case) {
  Text l = ExpandQuotes(left);
  Text r = ExpandQuotes(right);
  int p = FindText(text, l, start, ignore_case);
  if (p == -1) return Text();
  int v = p + TextLength(l);
  int q = FindText(text, r, v, ignore_case);
  if (q == -1) return Text();
  return TextMid(text, v, q - v);
}

Text TextBefore(const Text& text, const Text& delimiter, int start, bool ignore_case) {
  const std::int64_t n = TextLength(text);
  int p;
  if (start < 0) {
    std::int64_t k = -static_cast<std::int64_t>(start);
    if (k == 1) k = 0;
    std::int64_t end = n - k + 1;  // only occurrences wholly before this count
    p = FindTextReverse(text, delimiter, end < 0 ? 0 : static_cast<int>(end), ignore_case);
  } else {
    p = FindText(text, delimiter, start == 0 ? 1 : start, ignore_case);
  }
  if (p == -1) return Text();
  return TextLeft(text, p - 1);
}

}  // namespace pl
