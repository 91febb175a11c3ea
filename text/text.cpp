// text.cpp: the operations on Text, Bytes and TextArray.
//
// The stepping operations walk a text character by character: a byte of 0x80
// or above starts a two-byte character, so the next candidate lies two bytes
// further on. A text whose last byte is such a lead byte ends in a truncated
// character; each operation below says what it does there.
#include <algorithm>
#include <cstdint>

#include "text/text.h"

namespace pl {

namespace {

using Byte = unsigned char;

constexpr Byte kLeadMin = 0x80;
constexpr Byte kBlank = 0x20;
constexpr Byte kFullWidthBlank = 0xA1;  // A1 A1 is the full-width space

bool IsLead(Byte b) { return b >= kLeadMin; }

Byte FoldCase(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 0x20) : b; }

// Whether the m bytes of sub stand at offset i of t. The caller makes sure
// that at least m bytes remain. Ignoring case folds A-Z on both sides, every
// byte included (second bytes of two-byte characters too).
bool MatchesAt(std::string_view t, std::size_t i, std::string_view sub, bool ignore_case) {
  if (!ignore_case) return t.compare(i, sub.size(), sub) == 0;
  for (std::size_t k = 0; k < sub.size(); ++k) {
    if (FoldCase(static_cast<Byte>(t[i + k])) != FoldCase(static_cast<Byte>(sub[k]))) return false;
  }
  return true;
}

// The offset of the candidate after the one at i, or npos when the character
// at i is a truncated final character (the scan ends there).
std::size_t NextCandidate(std::string_view t, std::size_t i) {
  if (!IsLead(static_cast<Byte>(t[i]))) return i + 1;
  if (i + 1 >= t.size()) return std::string_view::npos;
  return i + 2;
}

Text FromStorage(const TextStorage& s) { return Text(std::string_view(s.data(), s.size())); }

Text Slice(std::string_view t, std::size_t begin, std::size_t end) {
  return begin >= end ? Text() : Text(t.substr(begin, end - begin));
}

Text ChangeCase(const Text& t, Byte from_first, Byte from_last, int delta) {
  TextStorage s(t.view().data(), t.size());
  std::size_t i = 0;
  while (i < s.size()) {
    Byte b = static_cast<Byte>(s[i]);
    if (IsLead(b)) {
      i += 2;  // a truncated final character is left as it is
      continue;
    }
    if (b >= from_first && b <= from_last) s[i] = static_cast<char>(b + delta);
    ++i;
  }
  return FromStorage(s);
}

}  // namespace

Text::Text(std::string_view bytes) {
  std::size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  s_.assign(bytes.data(), bytes.size());
}

// ---- Texts ----------------------------------------------------------------

int TextLength(const Text& t) { return t.size(); }

Text TextLeft(const Text& t, int n) {
  if (n <= 0) return Text();
  return Text(t.view().substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(const Text& t, int n) {
  if (n <= 0) return Text();
  std::string_view v = t.view();
  std::size_t keep = std::min(v.size(), static_cast<std::size_t>(n));
  return Text(v.substr(v.size() - keep));
}

Text TextMid(const Text& t, int start, int n) {
  if (start < 1 || start > t.size() || n <= 0) return Text();
  return Text(t.view().substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

int FindText(const Text& t, const Text& sub, std::optional<int> start, bool ignore_case) {
  std::string_view tv = t.view();
  std::string_view sv = sub.view();
  std::size_t s = (start && *start >= 1) ? static_cast<std::size_t>(*start - 1) : 0;
  if (s >= tv.size()) return -1;
  if (sv.empty()) return 1;
  for (std::size_t i = s; i != std::string_view::npos && tv.size() - i >= sv.size(); i = NextCandidate(tv, i)) {
    if (MatchesAt(tv, i, sv, ignore_case)) return static_cast<int>(i + 1);
  }
  return -1;
}

int FindTextReverse(const Text& t, const Text& sub, std::optional<int> start, bool ignore_case) {
  std::string_view tv = t.view();
  std::string_view sv = sub.view();
  std::size_t region = tv.size();
  if (start) {
    if (*start < 1) {
      region = 0;
    } else {
      region = std::min(region, static_cast<std::size_t>(*start - 1));
    }
  }
  if (sv.empty()) return region > 0 ? 1 : -1;
  int last = -1;
  for (std::size_t i = 0; i != std::string_view::npos && i < region && region - i >= sv.size();
       i = NextCandidate(tv, i)) {
    if (MatchesAt(tv, i, sv, ignore_case)) last = static_cast<int>(i + 1);
  }
  return last;
}

Text ReplaceText(const Text& t, const Text& sub, const Text& replacement, bool respect_case) {
  if (t.empty() || sub.empty()) return t;
  std::string_view tv = t.view();
  std::string_view sv = sub.view();
  TextStorage out;
  out.reserve(tv.size());
  std::size_t i = 0;
  while (tv.size() - i >= sv.size()) {
    if (MatchesAt(tv, i, sv, !respect_case)) {
      out.append(replacement.view());
      i += sv.size();
      continue;
    }
    std::size_t next = NextCandidate(tv, i);
    if (next == std::string_view::npos) {
      // An unmatched truncated final character is left out.
      i = tv.size();
      break;
    }
    out.append(tv.substr(i, next - i));
    i = next;
  }
  out.append(tv.substr(i));
  return FromStorage(out);
}

Text ReplaceText(const Text& t, const Text& sub, bool respect_case) { return ReplaceText(t, sub, Text(), respect_case); }

TextArray SplitText(const Text& t, const Text& delimiter) {
  TextArray items;
  if (t.empty()) return items;
  if (delimiter.empty()) {
    items.push_back(t);
    return items;
  }
  std::string_view tv = t.view();
  std::string_view dv = delimiter.view();
  std::size_t piece = 0;
  std::size_t i = 0;
  while (i != std::string_view::npos && tv.size() - i >= dv.size()) {
    if (MatchesAt(tv, i, dv, false)) {
      items.push_back(Slice(tv, piece, i));
      i += dv.size();
      piece = i;
      continue;
    }
    i = NextCandidate(tv, i);
  }
  if (piece < tv.size()) items.push_back(Slice(tv, piece, tv.size()));
  return items;
}

Text TrimBoth(const Text& t) {
  std::string_view tv = t.view();
  const std::size_t n = tv.size();
  auto at = [&](std::size_t i) { return static_cast<Byte>(tv[i]); };
  auto full_width_blank_at = [&](std::size_t i) {
    return at(i) == kFullWidthBlank && i + 1 < n && at(i + 1) == kFullWidthBlank;
  };

  std::size_t i = 0;
  while (i < n) {
    if (at(i) == kBlank) {
      i += 1;
    } else if (full_width_blank_at(i)) {
      i += 2;
    } else {
      break;
    }
  }
  const std::size_t begin = i;
  std::size_t end = n;
  std::size_t run = std::string_view::npos;  // where the latest run of blanks began
  while (i < n) {
    if (at(i) == kBlank) {
      if (run == std::string_view::npos) run = i;
      i += 1;
    } else if (IsLead(at(i))) {
      if (i + 1 >= n) {
        // A truncated final character: cut just before it, keeping the
        // blanks that stand before it.
        end = i;
        run = std::string_view::npos;
        break;
      }
      if (full_width_blank_at(i)) {
        if (run == std::string_view::npos) run = i;
      } else {
        run = std::string_view::npos;
      }
      i += 2;
    } else {
      run = std::string_view::npos;
      i += 1;
    }
  }
  if (run != std::string_view::npos) end = run;
  return Slice(tv, begin, end);
}

Text ToLower(const Text& t) { return ChangeCase(t, 'A', 'Z', 0x20); }
Text ToUpper(const Text& t) { return ChangeCase(t, 'a', 'z', -0x20); }

int ToInt(const Text& t) {
  std::string_view tv = t.view();
  std::size_t i = 0;
  // The character at i as its ASCII form (full-width digits, signs and the
  // full-width space map to theirs) and its width in bytes; 0 when none.
  auto ascii_at = [&](std::size_t& width) -> char {
    width = 1;
    Byte b = static_cast<Byte>(tv[i]);
    if (!IsLead(b)) return static_cast<char>(b);
    width = 2;
    if (i + 1 >= tv.size()) return 0;
    Byte b2 = static_cast<Byte>(tv[i + 1]);
    if (b == 0xA3 && b2 >= 0xB0 && b2 <= 0xB9) return static_cast<char>('0' + (b2 - 0xB0));
    if (b == 0xA3 && b2 == 0xAB) return '+';
    if (b == 0xA3 && b2 == 0xAD) return '-';
    if (b == 0xA1 && b2 == 0xA1) return ' ';
    return 0;
  };
  std::size_t width = 1;
  while (i < tv.size()) {
    char c = ascii_at(width);
    if (!(c == ' ' || (c >= '\t' && c <= '\r'))) break;
    i += width;
  }
  bool negative = false;
  if (i < tv.size()) {
    char c = ascii_at(width);
    if (c == '+' || c == '-') {
      negative = c == '-';
      i += width;
    }
  }
  std::uint32_t value = 0;  // wraps modulo 2^32, as the 32-bit sum does
  while (i < tv.size()) {
    char c = ascii_at(width);
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
    i += width;
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text CharFromCode(int c) {
  char byte = static_cast<char>(static_cast<Byte>(c));
  return Text(std::string_view(&byte, 1));  // a zero byte makes the empty text
}

Text BlankText(int n) {
  return Text::Filled(n, [](char*, int) {});
}

int CompareText(const Text& a, const Text& b) {
  int c = a.view().compare(b.view());  // char_traits<char> compares bytes unsigned
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- Bytes ----------------------------------------------------------------

int BytesLength(const Bytes& b) { return b.size(); }

Bytes BytesLeft(const Bytes& b, int n) {
  if (n <= 0) return Bytes();
  return Bytes(b.view().substr(0, static_cast<std::size_t>(n)));
}

Bytes BlankBytes(int n) {
  Bytes b;
  if (n > 0) b.b_.assign(static_cast<std::size_t>(n), 0);
  return b;
}

int CompareBytes(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 1;
  int c = a.view().compare(b.view());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Bytes ToBytes(const Text& t) { return Bytes(t.view()); }
Bytes ToBytes(const Bytes& b) { return b; }
Text ToText(const Text& t) { return t; }

// ---- Arrays ---------------------------------------------------------------

int ArraySize(const TextArray& a) { return a.size(); }
void ArrayAppend(TextArray& a, const Text& t) { a.push_back(t); }

}  // namespace pl
