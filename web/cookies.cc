#include "web/cookies.h"

namespace pl {
namespace {

// Blanks off both ends; a final ";" gets a blank so that it separates.
void Tidy(Text& cookies) {
  cookies = TrimBoth(cookies);
  if (TextRight(cookies, 1) == Text(";")) cookies += " ";
}

}  // namespace

Text CookieName(const Text& cookie) {
  const int eq = FindText(cookie, "=");
  return TrimBoth(eq == -1 ? cookie : TextLeft(cookie, eq - 1));
}

bool HasCookieName(const TextArray& cookies, const Text& name) {
  for (const Text& cookie : cookies) {
    if (CompareText(CookieName(cookie), name) == 0) return true;
  }
  return false;
}

int IndexOfText(const TextArray& items, const Text& text) {
  int index = 1;
  for (const Text& item : items) {
    if (CompareText(item, text) == 0) return index;
    ++index;
  }
  return -1;
}

Text UniqueItems(const Text& text, const Text& separator) {
  TextArray seen;
  Text result;
  for (const Text& item : SplitText(text, separator)) {
    if (IndexOfText(seen, item) != -1) continue;
    ArrayAppend(seen, item);
    result += item;
    result += separator;
  }
  return TextLeft(result, TextLength(result) - TextLength(separator));
}

Text MergeCookies(Text& held, Text& received) {
  Tidy(held);
  Tidy(received);
  const TextArray old_cookies = SplitText(held, "; ");
  TextArray merged = SplitText(received, "; ");
  // `merged` grows while this runs, so of two held cookies of one name only
  // the first is taken.
  for (const Text& cookie : old_cookies) {
    if (!HasCookieName(merged, CookieName(cookie))) ArrayAppend(merged, cookie);
  }
  Text joined;
  for (const Text& cookie : merged) {
    if (TextRight(cookie, 8) == Text("=deleted")) continue;
    joined += cookie;
    joined += "; ";
  }
  held = UniqueItems(TextLeft(joined, TextLength(joined) - 2), "; ");
  return held;
}

}  // namespace pl
