// On Windows, UTF-8 becomes code page 936 through the system's own
// MultiByteToWideChar and WideCharToMultiByte, bound by name in kernel32.dll;
// these tests run the real functions (under Wine on the build machine).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

Bytes Utf8(std::u8string_view s) { return Bytes(std::string_view(reinterpret_cast<const char*>(s.data()), s.size())); }

TEST(Utf8ToCp936, ValidUtf8GivesTheCp936BytesOfTheSameCharacters) {
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
      {std::string_view("12\0" "34", 5), "12"},  // the result ends at a zero byte
      {std::string_view("\0" "34", 3), ""},
      // The byte order mark is converted like any other character; the code
      // page lacks it, and Windows renders it as its default character.
      {"\xEF\xBB\xBF" "a", "?a"},
      {"\xE0\xB8\x81", "?"},  // a Thai letter, not in the code page
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp936(Bytes(c.utf8)), c.expected) << testing::PrintToString(Bytes(c.utf8));
  }
}

// Invalid UTF-8 comes out as the system renders it; what the program relies
// on is that the valid characters around it survive and nothing else enters.
TEST(Utf8ToCp936, InvalidUtf8KeepsItsValidNeighbours) {
  const std::string_view inputs[] = {"a\x80" "b", "a\xFF\xFE" "b", "a\xE4\xB8" "b", "a\xC0\x80" "b",
                                     "a\xED\xA0\x80" "b"};
  for (std::string_view in : inputs) {
    const Text out = Utf8ToCp936(Bytes(in));
    ASSERT_GE(TextLength(out), 3) << testing::PrintToString(Bytes(in));
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[TextLength(out) - 1], 'b');
    for (int i = 1; i < TextLength(out) - 1; ++i) EXPECT_EQ(out[i], '?') << testing::PrintToString(out);
  }
}

TEST(Utf8ToCp936, LeavesItsInputAloneAndConvertsLongInputWhole) {
  const Bytes input = Utf8(u8"中文 text");
  const Bytes before = input;
  EXPECT_EQ(Utf8ToCp936(input), Text("中文 text"));
  EXPECT_EQ(input, before);

  Bytes long_input;
  Text expected;
  for (int i = 0; i < 30000; ++i) {
    long_input.Append(Utf8(u8"中a"));
    expected += "\xD6\xD0" "a";
  }
  EXPECT_EQ(Utf8ToCp936(long_input), expected);
}

// Every two-byte code that the system's code page 936 decodes comes back to
// its own bytes: the whole GBK repertoire through the real functions.
TEST(Utf8ToCp936, EveryCp936CodeRoundTrips) {
  auto decode = [](const std::string& code) -> std::string {
    wchar_t unit[2];
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, code.data(), static_cast<int>(code.size()), unit, 2) != 1) {
      return "";
    }
    char utf8[8];
    const int n = WideCharToMultiByte(CP_UTF8, 0, unit, 1, utf8, sizeof utf8, nullptr, nullptr);
    return std::string(utf8, n > 0 ? static_cast<std::size_t>(n) : 0);
  };
  int valid = 0;
  int wrong = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = decode(code);
      if (utf8.empty()) continue;
      ++valid;
      const Text back = Utf8ToCp936(Bytes(utf8));
      if (back != Text(code) && ++wrong <= 10) {
        ADD_FAILURE() << "code " << testing::PrintToString(Text(code)) << " came back as "
                      << testing::PrintToString(back);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(valid, 21000);  // the GBK repertoire, not an empty loop
}

}  // namespace
}  // namespace pl
