// Cutting values out of a text between markers.
#include <gtest/gtest.h>

#include <climits>

#include "text/tests/test_print.h"
#include "text/text.h"

namespace pl {
namespace {

TEST(TextBetween, Cases) {
  struct Case {
    Text text, left, right;
    int start;
    bool ignore_case;
    Text expected;
  };
  const Case cases[] = {
      {"ab<b>12</b>cd", "<b>", "</b>", 0, false, "12"},
      {"ab<b>12</b>cd", "<b>", "</i>", 0, false, ""},
      {"ab<i>12</b>cd", "<b>", "</b>", 0, false, ""},
      {"</b>12<b>", "<b>", "</b>", 0, false, ""},     // right marker only before the left
      {"<b></b>", "<b>", "</b>", 0, false, ""},
      {"x=1;x=2;", "x=", ";", 0, false, "1"},
      {"x=1;x=2;", "x=", ";", 2, false, "2"},
      {"x=1;x=2;", "x=", ";", -3, false, "1"},
      {"x=1;x=2;", "x=", ";", INT_MAX, false, ""},
      // Only the first left marker is tried.
      {"x=1 x=2;", "x=", ";", 0, false, "1 x=2"},
      {"<a>1<a>2", "<a>", "</a>", 0, false, ""},
      {"a\"7\"b", "#引号", "#引号", 0, false, "7"},
      {"#引号7#引号", "#引号", "#引号", 0, false, ""},
      {"<td class=\"v\">42</td>", "class=#引号v#引号>", "</td>", 0, false, "42"},
      {"ab;", "", ";", 0, false, "ab"},                // an empty left marker is found at 1
      {"ab;", "a", "", 0, false, ""},                  // an empty right marker never
      {"", "", "", 0, false, ""},
      {"", "<b>", "</b>", 0, false, ""},
      {"<B>x</B>", "<b>", "</b>", 0, true, "x"},
      {"<B>x</B>", "<b>", "</b>", 0, false, ""},
      // A marker never matches from a second byte.
      {"\xB0\xA1\xA1\xA2" "x;", "\xA1\xA1", ";", 0, false, ""},
      {"\xD6\xD0<\xD6\xD0>\xD6\xD0", "<", ">", 0, false, "\xD6\xD0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignore_case), c.expected)
        << testing::PrintToString(c.text) << " between " << testing::PrintToString(c.left) << " and "
        << testing::PrintToString(c.right) << " from " << c.start;
  }
  EXPECT_EQ(TextBetween("ab<b>12</b>cd", "<b>", "</b>"), Text("12"));
}

TEST(TextBefore, Cases) {
  struct Case {
    Text text, delimiter;
    int start;
    bool ignore_case;
    Text expected;
  };
  const Case cases[] = {
      {"Set-Cookie: a=1", ": ", 0, false, "Set-Cookie"},
      {"Content-Length", ": ", 0, false, ""},
      {": x", ": ", 0, false, ""},
      {"abc", "", 0, false, ""},
      {"abc", "", -1, false, ""},
      {"ab: cd: ", ": ", -1, false, "ab: cd"},
      {"ab: cd: ", ": ", -2, false, "ab"},
      {"ab: cd: ", ": ", -5, false, ""},
      {"ab: cd: ", ": ", -8, false, ""},
      {"ab: cd: ", ": ", INT_MIN, false, ""},
      {"a:b:c", ":", 3, false, "a:b"},
      {"a:b:c", ":", 0, false, "a"},
      {"a:b:c", ":", 1, false, "a"},
      {"a:b:c", ":", 9, false, ""},
      {"aXbxc", "x", 0, true, "a"},
      {"aXbxc", "x", 0, false, "aXb"},
      {"aXbxc", "X", -1, true, "aXb"},
      {"", ":", 0, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextBefore(c.text, c.delimiter, c.start, c.ignore_case), c.expected)
        << testing::PrintToString(c.text) << " before " << testing::PrintToString(c.delimiter) << " from "
        << c.start;
  }
}

}  // namespace
}  // namespace pl
