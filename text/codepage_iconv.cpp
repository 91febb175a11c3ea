// codepage_iconv.cpp: conversion between UTF-8 and code page 936 through
// glibc's iconv ("CP936", which matches the Windows code page, the euro sign
// as byte 0x80 included). This file is the program's one seam to a code-page
// converter; a Windows build puts the kernel32 functions in its place.
//
// UTF-8 to code page 936 goes the way Windows goes without flags: the UTF-8
// is decoded to UTF-16 units, each invalid sequence (its maximal valid
// beginning, or one stray byte) becoming one replacement unit, and each unit
// that code page 936 lacks comes out as "?". A character beyond U+FFFF is two
// UTF-16 units that the code page lacks, so it comes out as "??".
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "text/text.h"

namespace pl {

namespace {

using Byte = unsigned char;

constexpr std::uint32_t kReplacement = 0xFFFD;

// One iconv conversion descriptor, closed when it goes out of scope.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (ok()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Decodes the UTF-8 character at `p` (with `left` bytes from there on) into
// UTF-16 code units written to `units`; returns the bytes it consumed. An
// invalid sequence consumes its longest valid beginning (at least one byte)
// and yields one replacement unit.
std::size_t DecodeUtf8(const Byte* p, std::size_t left, std::uint32_t units[2], int& unit_count) {
  unit_count = 1;
  Byte b = p[0];
  if (b < 0x80) {
    units[0] = b;
    return 1;
  }
  std::size_t need;
  std::uint32_t cp;
  Byte lo = 0x80;  // the range the second byte must lie in
  Byte hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    cp = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    cp = b & 0x0Fu;
    if (b == 0xE0) lo = 0xA0;  // no overlong forms
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    cp = b & 0x07u;
    if (b == 0xF0) lo = 0x90;  // no overlong forms
    if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    units[0] = kReplacement;
    return 1;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    Byte c = k < left ? p[k] : 0;
    Byte min = k == 1 ? lo : 0x80;
    Byte max = k == 1 ? hi : 0xBF;
    if (k >= left || c < min || c > max) {
      units[0] = kReplacement;
      return k;
    }
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (cp > 0xFFFF) {
    // A surrogate pair: neither half has a code page 936 form.
    units[0] = kReplacement;
    units[1] = kReplacement;
    unit_count = 2;
  } else {
    units[0] = cp;
  }
  return need + 1;
}

// Converts UTF-32LE units to code page 936, appending to `out`; a unit that
// the code page lacks becomes "?".
void AppendCp936(IconvHandle& cd, const char* in, std::size_t in_left, TextStorage& out) {
  while (in_left > 0) {
    std::size_t used = out.size();
    out.resize(used + in_left / 2 + 16);  // at most two bytes a unit
    char* dst = out.data() + used;
    std::size_t room = out.size() - used;
    char* src = const_cast<char*>(in);
    std::size_t r = iconv(cd.get(), &src, &in_left, &dst, &room);
    int error = errno;
    out.resize(static_cast<std::size_t>(dst - out.data()));
    in = src;
    if (r == static_cast<std::size_t>(-1) && error != E2BIG) {
      // EILSEQ: no form in code page 936 (EINVAL cannot happen for whole units).
      out.push_back('?');
      std::size_t skip = in_left < 4 ? in_left : 4;
      in += skip;
      in_left -= skip;
    }
  }
}

}  // namespace

Text Utf8ToCp936(const Bytes& utf8) {
  if (utf8.empty()) return Text();
  std::string_view input = utf8.view();
  std::size_t zero = input.find('\0');
  if (zero != std::string_view::npos) input = input.substr(0, zero);  // the result ends there
  if (input.empty()) return Text();

  IconvHandle cd("CP936", "UTF-32LE");
  if (!cd.ok()) FatalError(0, "无法打开字符集转换“UTF-32LE”到“CP936”", 0, 0);

  // Decoded a slice at a time, so that the working buffer stays small
  // however long the input is.
  constexpr std::size_t kSliceUnits = 16384;
  TextStorage out;
  out.reserve(input.size());
  TextStorage units;  // UTF-32LE, zero bytes included
  units.reserve(kSliceUnits * 4 + 8);
  const Byte* p = reinterpret_cast<const Byte*>(input.data());
  std::size_t left = input.size();
  while (left > 0) {
    units.clear();
    while (left > 0 && units.size() < kSliceUnits * 4) {
      std::uint32_t decoded[2];
      int count = 0;
      std::size_t used = DecodeUtf8(p, left, decoded, count);
      p += used;
      left -= used;
      for (int k = 0; k < count; ++k) {
        std::uint32_t u = decoded[k];
        const char le[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                            static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
        units.append(le, 4);
      }
    }
    AppendCp936(cd, units.data(), units.size(), out);
  }
  return Text(std::string_view(out.data(), out.size()));
}

std::string Cp936ToUtf8(const Text& text) {
  std::string out;
  if (text.empty()) return out;
  IconvHandle cd("UTF-8", "CP936");
  std::string_view in = text.view();
  if (!cd.ok()) {
    // Without a converter (this also serves the fatal error report) ASCII
    // stays readable and every other byte shows as "?".
    for (char c : in) out.push_back(static_cast<Byte>(c) < 0x80 ? c : '?');
    return out;
  }
  char* src = const_cast<char*>(in.data());
  std::size_t in_left = in.size();
  while (in_left > 0) {
    std::size_t used = out.size();
    out.resize(used + in_left * 3 + 16);  // the euro sign: one byte becomes three
    char* dst = out.data() + used;
    std::size_t room = out.size() - used;
    std::size_t r = iconv(cd.get(), &src, &in_left, &dst, &room);
    int error = errno;
    out.resize(static_cast<std::size_t>(dst - out.data()));
    if (r == static_cast<std::size_t>(-1) && error != E2BIG) {
      // EILSEQ (no character starts here) or EINVAL (a lone lead byte at the
      // end): that byte shows as "?", and the next byte is tried on its own.
      out.push_back('?');
      ++src;
      --in_left;
    }
  }
  return out;
}

}  // namespace pl
