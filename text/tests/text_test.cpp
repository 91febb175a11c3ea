// The text, byte and array operations at their edges: positions and counts
// out of range, empty arguments, case, and stepping over two-byte
// characters and a truncated final character.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

// Two two-byte characters whose bytes A1 A1 straddle the boundary between them.
const Text kStraddle = "\xB0\xA1\xA1\xA2";
// "ab", two spaces and a truncated final character.
const Text kTruncated = "ab  \xB0";

TEST(TextValue, EndsAtFirstZeroByte) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)), Text("ab"));
  EXPECT_EQ(TextLength(Text(std::string("\0x", 2))), 0);
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text(""));
  EXPECT_EQ(Text().CStrOrNull(), nullptr);
  EXPECT_STREQ(Text().c_str(), "");
  EXPECT_STREQ(Text("ab").CStrOrNull(), "ab");
}

TEST(TextValue, FilledInPlaceEndsAtFirstZeroWritten) {
  Text t = Text::Filled(8, [](char* p, int n) {
    ASSERT_EQ(n, 8);
    std::memcpy(p, "host\0xyz", 8);
  });
  EXPECT_EQ(t, Text("host"));
  EXPECT_TRUE(Text::Filled(0, [](char*, int) { FAIL() << "no buffer for n = 0"; }).empty());
  EXPECT_EQ(Text::Filled(3, [](char*, int) {}), Text("   "));
}

TEST(TextOps, LeftRightMidCountBytes) {
  EXPECT_EQ(TextLeft("abc", 5), Text("abc"));
  EXPECT_EQ(TextRight("abc", 5), Text("abc"));
  EXPECT_EQ(TextLeft("abc", 0), Text());
  EXPECT_EQ(TextRight("abc", -1), Text());
  EXPECT_EQ(TextRight("abc", 2), Text("bc"));
  EXPECT_EQ(TextLeft("abc", INT_MAX), Text("abc"));
  EXPECT_EQ(TextMid("abcdef", 2, 3), Text("bcd"));
  EXPECT_EQ(TextMid("abcdef", 5, 10), Text("ef"));
  EXPECT_EQ(TextMid("abcdef", 6, INT_MAX), Text("f"));
  EXPECT_EQ(TextMid("abcdef", 0, 3), Text());
  EXPECT_EQ(TextMid("abcdef", 7, 1), Text());
  EXPECT_EQ(TextMid("abcdef", 2, 0), Text());
  EXPECT_EQ(TextMid("", 1, 1), Text());
  // A cut may halve a two-byte character.
  EXPECT_EQ(TextLeft("a\xD6\xD0", 2), Text("a\xD6"));
  EXPECT_EQ(TextRight("\xD6\xD0", 1), Text("\xD0"));
}

struct FindCase {
  Text t;
  Text sub;
  std::optional<int> start;
  bool ignore_case;
  int expected;
};

TEST(TextOps, FindText) {
  const FindCase cases[] = {
      {"a.b.c", ".", std::nullopt, false, 2},
      {"a.b.c", ".", 3, false, 4},
      {"a.b.c", ".", 0, false, 2},
      {"a.b.c", ".", -5, false, 2},
      {"a.b.c", ".", INT_MIN, false, 2},
      {"a.b.c", ".", 6, false, -1},
      {"a.b.c", ".", INT_MAX, false, -1},
      {"abc", "", std::nullopt, false, 1},
      {"abc", "", 3, false, 1},
      {"abc", "", 4, false, -1},
      {"", "", std::nullopt, false, -1},
      {"", "a", std::nullopt, false, -1},
      {"ab", "abc", std::nullopt, false, -1},
      {"User-agent: x", "USER-AGENT:", std::nullopt, true, 1},
      {"User-agent: x", "USER-AGENT:", std::nullopt, false, -1},
      // Only A-Z fold: '[' (0x5B) is not '{' (0x7B).
      {"{", "[", std::nullopt, true, -1},
      {kStraddle, "\xA1\xA1", std::nullopt, false, -1},
      {Concat(kStraddle, "\xA1\xA1"), "\xA1\xA1", std::nullopt, false, 5},
      {"\xD6\xD0x", "x", std::nullopt, false, 3},
      // A start on a second byte steps from there.
      {kStraddle, "\xA1\xA1", 2, false, 2},
      // A truncated final character is still compared.
      {"a\xB0", "\xB0", std::nullopt, false, 2},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindText(c.t, c.sub, c.start, c.ignore_case), c.expected)
        << testing::PrintToString(c.t) << " sub " << testing::PrintToString(c.sub) << " start "
        << c.start.value_or(-999);
  }
}

TEST(TextOps, FindTextReverse) {
  const FindCase cases[] = {
      {"a.b.c", ".", std::nullopt, false, 4},
      {"a.b.c", ".", 4, false, 2},
      {"a.b.c", ".", 5, false, 4},
      {"a.b.c", ".", 2, false, -1},
      {"a.b.c", ".", 1, false, -1},
      {"a.b.c", ".", 0, false, -1},
      {"a.b.c", ".", INT_MIN, false, -1},
      {"a.b.c", ".", 99, false, 4},
      {"abcabc", "bc", 6, false, 2},
      {"abcabc", "bc", 7, false, 5},
      {"abc", "", std::nullopt, false, 1},
      {"abc", "", 1, false, -1},
      {"", "", std::nullopt, false, -1},
      {"xAxa", "a", std::nullopt, true, 4},
      {"xAxa", "A", 4, true, 2},
      {"xAxa", "A", 4, false, 2},
      {"xAxa", "a", 4, false, -1},
      {Concat(kStraddle, "z"), "\xA1\xA1", std::nullopt, false, -1},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindTextReverse(c.t, c.sub, c.start, c.ignore_case), c.expected)
        << testing::PrintToString(c.t) << " sub " << testing::PrintToString(c.sub) << " start "
        << c.start.value_or(-999);
  }
}

TEST(TextOps, ReplaceText) {
  struct Case {
    Text t, sub, replacement;
    bool respect_case;
    Text expected;
  };
  const Case cases[] = {
      {"aXbxc", "x", "-", true, "aXb-c"},
      {"aXbxc", "x", "-", false, "a-b-c"},
      {"aaa", "aa", "b", true, "ba"},
      {"abc", "", "x", true, "abc"},
      {"", "a", "x", true, ""},
      {"aa", "a", "aa", true, "aaaa"},  // the replacement is not searched again
      {"a.b", ".", "", true, "ab"},
      {kStraddle, "\xA1\xA1", "!", true, kStraddle},
      {kTruncated, "x", "-", true, "ab  "},  // an unmatched truncated byte is left out
      {"a\xB0", "\xB0", "-", true, "a-"},
      {"ab\xB0", "b\xB0", "-", true, "a-"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceText(c.t, c.sub, c.replacement, c.respect_case), c.expected)
        << testing::PrintToString(c.t) << " sub " << testing::PrintToString(c.sub);
  }
  // Without a replacement the occurrences are removed.
  EXPECT_EQ(ReplaceText("Set-Cookie: a=1", "set-cookie:", false), Text(" a=1"));
  EXPECT_EQ(ReplaceText("Set-Cookie: a=1", "set-cookie:", true), Text("Set-Cookie: a=1"));
}

TEST(TextOps, SplitText) {
  struct Case {
    Text t, delimiter;
    TextArray expected;
  };
  const Case cases[] = {
      {"a,b", ",", {"a", "b"}},
      {"a,,b", ",", {"a", "", "b"}},
      {",a", ",", {"", "a"}},
      {"a,", ",", {"a"}},
      {",", ",", {""}},
      {"", ",", {}},
      {"abc", "", {"abc"}},
      {"x\r\n\r\ny", "\r\n", {"x", "", "y"}},
      {"x\ry\nz", "\r\n", {"x\ry\nz"}},
      {"a,\xB0", ",", {"a", "\xB0"}},
      {"aXbxc", "x", {"aXb", "c"}},  // exact case
      {Concat(kStraddle, ","), "\xA1\xA1", {Concat(kStraddle, ",")}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitText(c.t, c.delimiter), c.expected) << testing::PrintToString(c.t);
  }
}

TEST(TextOps, TrimBoth) {
  const Text wide = "\xA1\xA1";
  struct Case {
    Text t, expected;
  };
  const Case cases[] = {
      {"  a b  ", "a b"},
      {Concat(wide, " a", wide, "b ", wide), Concat("a", wide, "b")},
      {"\ta\t", "\ta\t"},
      {"   ", ""},
      {Concat(wide, wide), ""},
      {"", ""},
      {kTruncated, "ab  "},
      {"  \xA1", ""},
      // A1 A2 is not a blank, and the A1 A1 inside "\xB0\xA1\xA1\xA2" is no
      // character of its own.
      {Concat(" ", kStraddle, " "), kStraddle},
      {"a \xA1\xA2", "a \xA1\xA2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimBoth(c.t), c.expected) << testing::PrintToString(c.t);
  }
}

TEST(TextOps, CaseChangesOnlyOneByteLetters) {
  EXPECT_EQ(ToUpper("abc-Def"), Text("ABC-DEF"));
  EXPECT_EQ(ToLower("abc-Def@[Z]"), Text("abc-def@[z]"));
  EXPECT_EQ(ToUpper("\xB0" "a" "b"), Text("\xB0" "aB"));  // 0x61 as a second byte stays
  EXPECT_EQ(ToLower("\xB0" "A"), Text("\xB0" "A"));
  EXPECT_EQ(ToUpper("ab\xB0"), Text("AB\xB0"));
  EXPECT_EQ(ToUpper(""), Text());
}

TEST(TextOps, ToInt) {
  struct Case {
    Text t;
    int expected;
  };
  const Case cases[] = {
      {"8080", 8080},
      {" -12x", -12},
      {"+7", 7},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"\xA3\xB1\xA3\xB2", 12},                        // full-width digits
      {"\xA1\xA1\xA3\xAD" "3\xA3\xB4", -34},           // full-width space, minus, digit
      {"\xA3\xAB" "5", 5},
      {"4294967297", 1},
      {"2147483648", INT_MIN},
      {"-2147483648", INT_MIN},
      {"\t\n\v\f\r 9", 9},
      {"8080/a", 8080},
      {"+-1", 0},
      {"1 2", 1},
      {"\xA3", 0},
      {"99999999999999999999", 1661992959},  // the number modulo 2^32
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToInt(c.t), c.expected) << testing::PrintToString(c.t);
  }
}

TEST(TextOps, SmallValues) {
  EXPECT_EQ(CharFromCode(32), Text(" "));
  EXPECT_EQ(CharFromCode(0xB0), Text("\xB0"));
  EXPECT_TRUE(CharFromCode(0).empty());
  EXPECT_EQ(CharFromCode(0).CStrOrNull(), nullptr);
  EXPECT_EQ(BlankText(3), Text("   "));
  EXPECT_TRUE(BlankText(0).empty());
  EXPECT_TRUE(BlankText(-4).empty());
  EXPECT_EQ(Concat("a", Text(), std::string("b"), "\xD6\xD0"), Text("ab\xD6\xD0"));
  EXPECT_EQ(BitOr(5, 3), 7);
  EXPECT_EQ(BitOr(1, 2, 4), 7);
  EXPECT_EQ(BitOr(INT_MIN, 1), INT_MIN | 1);
}

TEST(TextOps, CompareText) {
  EXPECT_EQ(CompareText(Text(), ""), 0);
  EXPECT_EQ(CompareText("ab", "abc"), -1);
  EXPECT_EQ(CompareText("abc", "ab"), 1);
  EXPECT_EQ(CompareText("b", "a"), 1);
  EXPECT_EQ(CompareText("ab", "ab"), 0);
  EXPECT_EQ(CompareText("\xB0", "a"), 1);  // bytes unsigned
  EXPECT_EQ(CompareText("A", "a"), -1);
}

TEST(BytesOps, BlankLeftCompareConcat) {
  Bytes blank = BlankBytes(1024);
  ASSERT_EQ(BytesLength(blank), 1024);
  for (int i = 0; i < blank.size(); ++i) ASSERT_EQ(blank.data()[i], 0) << i;
  EXPECT_TRUE(BlankBytes(0).empty());
  EXPECT_EQ(BlankBytes(-1).data(), nullptr);

  const Bytes zab(std::string_view("\0ab", 3));
  EXPECT_EQ(BytesLength(zab), 3);
  EXPECT_EQ(BytesLeft(zab, 2), Bytes(std::string_view("\0a", 2)));
  EXPECT_EQ(BytesLeft(zab, 9), zab);
  EXPECT_TRUE(BytesLeft(zab, 0).empty());

  EXPECT_TRUE(ConcatBytes(Bytes(), Bytes()).empty());
  EXPECT_EQ(CompareBytes(ConcatBytes(Bytes(), Bytes()), Bytes()), 0);
  EXPECT_EQ(ConcatBytes(zab, Bytes("c"), zab), Bytes(std::string_view("\0abc\0ab", 7)));

  EXPECT_EQ(CompareBytes(Bytes("ab"), Bytes("ab")), 0);
  EXPECT_EQ(CompareBytes(Bytes("ab"), Bytes("abc")), 1);
  EXPECT_EQ(CompareBytes(Bytes("abc"), Bytes("ab")), 1);  // lengths differ: 1 either way
  EXPECT_EQ(CompareBytes(Bytes("ab"), Bytes("ac")), -1);
  EXPECT_EQ(CompareBytes(Bytes("\xFF"), Bytes("a")), 1);
  EXPECT_EQ(CompareBytes(Bytes(), Bytes("a")), 1);
}

TEST(BytesOps, AppendToItselfDoublesTheBytes) {
  Bytes b("xy");
  b.Append(b);
  EXPECT_EQ(b, Bytes("xyxy"));
  Bytes grown = BlankBytes(3);
  grown.Append(grown);
  EXPECT_EQ(BytesLength(grown), 6);
}

TEST(BytesOps, ConversionsCopy) {
  EXPECT_EQ(BytesLength(ToBytes(Text("ab"))), 2);
  EXPECT_TRUE(ToBytes(Text()).empty());
  Bytes b("a\xB0");
  Bytes copy = ToBytes(b);
  copy.Append(reinterpret_cast<const std::uint8_t*>("z"), 1);
  EXPECT_EQ(b, Bytes("a\xB0"));
  EXPECT_EQ(ToText("ab"), Text("ab"));
  EXPECT_TRUE(Bytes(nullptr, 3).empty());
  Bytes kept("k");
  kept.Append(nullptr, 2);
  EXPECT_EQ(kept, Bytes("k"));
}

TEST(ArrayOps, AppendCopiesAndNumbersFromOne) {
  TextArray a;
  EXPECT_EQ(ArraySize(a), 0);
  Text x = "x";
  ArrayAppend(a, x);
  x += "changed";
  ArrayAppend(a, Text());
  ASSERT_EQ(ArraySize(a), 2);
  EXPECT_EQ(a.Item(1, {1, 1}), Text("x"));
  EXPECT_TRUE(a.Item(2, {1, 2}).empty());
}

}  // namespace
}  // namespace pl
