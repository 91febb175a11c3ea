// The rewrite rules of the two integer input boxes and the typed-character
// filter, apart from any toolkit.
#include "app/integer_box.h"

#include <gtest/gtest.h>

#include <string_view>

#include "app/tests/test_print.h"

namespace pl {
namespace {

struct Rewrite {
  const char* typed;
  const char* digit_string;  // 编辑框1: the digits looked for, kept as typed
  const char* number;        // 编辑框3: a place, rewritten as a number
};

TEST(IntegerBoxRules, RewriteOnLeavingTheBox) {
  const Rewrite cases[] = {
      {"", "", ""},
      {"926", "926", "926"},
      {"0926", "0926", "926"},
      {"0", "0", ""},
      {"000", "000", ""},
      {"-", "", ""},
      {"abc", "", ""},
      {"12ab", "12", "12"},
      {"12-3", "12", "12"},
      {"-0", "-0", ""},
      {"-12", "-12", "-12"},
      {"+7", "+7", "7"},
      {"--1", "", ""},
      {" \t 42x", "42", "42"},
      {"9999999999", "9999999999", "2147483647"},
      {"2147483648", "2147483648", "2147483647"},
      {"-2147483648", "-2147483648", "-2147483648"},
      {"-9999999999", "-9999999999", "-2147483648"},
      {"99999999999999999999999", "99999999999999999999999", "2147483647"},
      {"1000000000", "1000000000", "1000000000"},
      {"-999999999", "-999999999", "-999999999"},
      {"１２", "", ""},  // full-width digits are not digits to the C library
  };
  for (const Rewrite& r : cases) {
    SCOPED_TRACE(r.typed);
    EXPECT_EQ(RewriteOnLeave(EditStyle::kDigitString, r.typed), Text(r.digit_string));
    EXPECT_EQ(RewriteOnLeave(EditStyle::kIntegerNumber, r.typed), Text(r.number));
  }
}

TEST(IntegerBoxRules, RewritesAreStable) {
  // Leaving the box a second time changes nothing more.
  for (const char* typed : {"0926", "12-3", " -7x", "9999999999", "-"}) {
    for (EditStyle style : {EditStyle::kDigitString, EditStyle::kIntegerNumber}) {
      const Text once = RewriteOnLeave(style, typed);
      EXPECT_EQ(RewriteOnLeave(style, once), once) << typed;
    }
  }
}

TEST(IntegerBoxRules, TypedCharacters) {
  for (char32_t c : std::u32string_view(U"0123456789-")) EXPECT_TRUE(AcceptsTypedCharacter(c));
  for (char32_t c : {U'a', U'.', U'+', U' ', U'e', U'/', U':', U'１', U'中'}) {
    EXPECT_FALSE(AcceptsTypedCharacter(c)) << static_cast<int>(c);
  }
}

}  // namespace
}  // namespace pl
