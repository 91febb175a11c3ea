// Readable test failure output for the text values: printable ASCII as it
// is, every other byte as \xHH.
#pragma once

#include <cstdio>
#include <ostream>

#include "text/text.h"

namespace pl {

inline void PrintBytes(std::string_view bytes, std::ostream* os) {
  *os << '"';
  for (char c : bytes) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      *os << c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      *os << hex;
    }
  }
  *os << '"';
}

inline void PrintTo(const Text& t, std::ostream* os) { PrintBytes(t.view(), os); }
inline void PrintTo(const Bytes& b, std::ostream* os) { PrintBytes(b.view(), os); }
inline void PrintTo(const TextArray& a, std::ostream* os) {
  *os << '{';
  for (const Text& t : a) {
    PrintTo(t, os);
    *os << ' ';
  }
  *os << '}';
}

}  // namespace pl
