// The program's texts are code page 936, and UTF-8 from the network becomes
// code page 936 by Utf8ToCp936 (and back, for a terminal, by Cp936ToUtf8).
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

Bytes Utf8(std::u8string_view s) { return Bytes(std::string_view(reinterpret_cast<const char*>(s.data()), s.size())); }

TEST(Utf8ToCp936, Cases) {
  struct Case {
    std::string_view utf8;
    Text expected;
  };
  const Case cases[] = {
      {"", ""},
      {"GET /a?b=1 HTTP", "GET /a?b=1 HTTP"},
      {"\xE4\xB8\xAD", "\xD6\xD0"},  // 中
      {"\xE7\xA7\x92", "\xC3\xEB"},  // 秒
      {"\xEF\xBC\x9A", "\xA3\xBA"},  // full-width colon
      {"\xE2\x82\xAC", "\x80"},      // euro sign
      {"\xC3\xA9", "\xA8\xA6"},      // é
      {std::string_view("12\0" "34", 5), "12"},
      {std::string_view("\0" "34", 3), ""},
      // The byte order mark is a character like any other, one the code page lacks.
      {"\xEF\xBB\xBF" "a", "?a"},
      // Characters the code page lacks, and invalid UTF-8, come out as "?".
      {"\xE0\xB8\x81", "?"},                // a Thai letter
      {"\xEF\xBF\xBD", "?"},                // the replacement character itself
      {"\xF0\x9F\x98\x80" "a", "??a"},      // beyond U+FFFF: two UTF-16 units
      {"a\x80" "b", "a?b"},                 // stray continuation byte
      {"\xFF\xFE", "??"},
      {"\xE4\xB8", "?"},                    // truncated at the end
      {"\xE4\xB8" "a", "?a"},               // cut short by an ASCII byte
      {"\xC0\x80", "??"},                   // overlong form of zero
      {"\xE0\x80\x80", "???"},              // overlong three-byte form
      {"\xED\xA0\x80", "???"},              // an encoded surrogate
      {"\xF4\x90\x80\x80", "????"},         // above U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp936(Bytes(c.utf8)), c.expected) << testing::PrintToString(Bytes(c.utf8));
  }
}

TEST(Utf8ToCp936, LeavesItsInputAlone) {
  const Bytes input = Utf8(u8"中文 text");
  const Bytes before = input;
  EXPECT_EQ(Utf8ToCp936(input), Text("中文 text"));
  EXPECT_EQ(input, before);
}

TEST(Utf8ToCp936, LongInputConvertsWhole) {
  // Longer than the converter's working slice, with a four-byte character
  // and an invalid byte far in.
  Bytes input;
  Text expected;
  for (int i = 0; i < 30000; ++i) {
    input.Append(Utf8(u8"中a"));
    expected += "\xD6\xD0" "a";
  }
  input.Append(Bytes("\xF0\x9F\x98\x80\xFF" "z"));
  expected += "???z";
  EXPECT_EQ(Utf8ToCp936(input), expected);
}

// Every code of code page 936 that iconv decodes comes back to its own bytes:
// the one-byte euro sign and every valid two-byte code.
TEST(Utf8ToCp936, EveryCp936CodeRoundTrips) {
  iconv_t cd = iconv_open("UTF-8", "CP936");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  auto decode = [&](std::string code) -> std::string {
    char out[16];
    char* src = code.data();
    std::size_t in_left = code.size();
    char* dst = out;
    std::size_t room = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &in_left, &dst, &room) == static_cast<std::size_t>(-1) || in_left != 0) return "";
    return std::string(out, static_cast<std::size_t>(dst - out));
  };

  EXPECT_EQ(Utf8ToCp936(Bytes(decode("\x80"))), Text("\x80"));
  int valid = 0;
  int wrong = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      std::string utf8 = decode(code);
      if (utf8.empty()) continue;
      ++valid;
      Text back = Utf8ToCp936(Bytes(utf8));
      if (back != Text(code) && ++wrong <= 10) {
        ADD_FAILURE() << "code " << testing::PrintToString(Text(code)) << " came back as "
                      << testing::PrintToString(back);
      }
    }
  }
  iconv_close(cd);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(valid, 21000);  // the GBK repertoire, not an empty loop
}

}  // namespace
}  // namespace pl
