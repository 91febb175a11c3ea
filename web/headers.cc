#include "web/headers.h"

namespace pl {

Text CapitalizeFirst(const Text& t) {
  return Concat(ToUpper(TextLeft(t, 1)), TextMid(t, 2, TextLength(t)));
}

Text NormalizeHeaders(const Text& block) {
  const TextArray lines = SplitText(block, "\r\n");
  Text result;
  for (const Text& line : lines) {
    const int colon = FindText(line, ":");
    if (colon == -1) continue;
    const Text name = TextMid(line, 1, colon - 1);
    Text new_name;
    if (FindText(name, "-") == -1) {
      new_name = CapitalizeFirst(name);
    } else {
      const TextArray parts = SplitText(name, "-");
      const int count = ArraySize(parts);
      for (int i = 1; i <= count; ++i) {
        new_name += CapitalizeFirst(parts.Item(i, {3, 1}));
        if (i < count) new_name += "-";
      }
    }
    // The rest is taken by length from the end of the line: when SplitText
    // gave no part for a trailing "-", that "-" comes back with the rest.
    result += new_name;
    result += TextRight(line, TextLength(line) - TextLength(new_name));
    result += "\r\n";
  }
  return TextLeft(result, TextLength(result) - 2);
}

Text HeaderValue(const Text& line) {
  const int colon = FindText(line, ":");
  if (colon == -1) return {};
  return TrimBoth(TextRight(line, TextLength(line) - colon));
}

void EnsureHeader(Text& block, const Text& name, const Text& default_line) {
  if (FindText(block, name, 1, true) == -1) block = Concat(block, default_line);
}

void AddDefaultHeaders(Text& block, const Text& url, bool post) {
  if (block.empty()) block = "Accept: */*";
  EnsureHeader(block, "Accept:", "\r\nAccept: */*");
  EnsureHeader(block, "Referer:", Concat("\r\nReferer: ", url));
  EnsureHeader(block, "Accept-Language:", "\r\nAccept-Language: zh-cn");
  if (post) EnsureHeader(block, "Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded");
}

void AddCookieLine(Text& block, const Text& cookies) {
  if (cookies.empty()) return;
  if (FindText(cookies, "Cookie:") == -1) {
    block = Concat(block, "\r\nCookie: ", cookies);
  } else {
    block = Concat(block, "\r\n", cookies);
  }
}

}  // namespace pl
