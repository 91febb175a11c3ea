// What every platform's conversion shares: the program's literals are code
// page 936, and Cp936ToUtf8 shows a text readably, a bad byte as "?".
#include <gtest/gtest.h>

#include <string>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

std::string Utf8Str(std::u8string_view s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

TEST(Codepage, NarrowLiteralsAreCp936) {
  EXPECT_EQ(Text("没找到！"), Text("\xC3\xBB\xD5\xD2\xB5\xBD\xA3\xA1"));
  EXPECT_EQ(Text("运行时出错!"), Text("\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!"));
}

TEST(Cp936ToUtf8, Cases) {
  struct Case {
    Text cp936;
    std::string utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"没找到！", Utf8Str(u8"没找到！")},
      {"\x80", Utf8Str(u8"€")},
      {"a\xFF" "b", "a?b"},
      {"a\xB0", "a?"},           // a lone lead byte at the end
      {"\x81\x30" "1", "?01"},   // a lead byte with an unfit second byte
      {"\xD6\xD0\xFF\xD6\xD0", Utf8Str(u8"中?中")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp936ToUtf8(c.cp936), c.utf8) << testing::PrintToString(c.cp936);
  }
}

}  // namespace
}  // namespace pl
