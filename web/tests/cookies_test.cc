#include <gtest/gtest.h>

#include "web/cookies.h"

namespace pl {
namespace {

TEST(Cookies, Merge) {
  const struct {
    const char* held;
    const char* received;
    const char* merged;
  } cases[] = {
      {"a=1; b=2; c=3", "b=20; d=4", "b=20; d=4; a=1; c=3"},
      {"sid=1; lang=en", "sid=deleted", "lang=en"},
      {"a=1", "", "a=1"},
      {"", "a=1; b=2", "a=1; b=2"},
      {"", "", ""},
      {"a=1; a=2", "", "a=1"},
      {"a=0", "a=1; a=2", "a=1; a=2"},
      {"", "a=1; a=1", "a=1"},
      {"  a=1;  ", "", "a=1"},
      {"a=1;b=2", "a=5", "a=5"},
      {"A=1", "a=2", "a=2; A=1"},
      {"a=1;  b=2", "b=3", "b=3; a=1"},
      {"a=1;  b=2", "", "a=1;  b=2"},
      {"flag; x=1", "flag", "flag; x=1"},
      {"x=deleted; y=1", "", "y=1"},
      {"x=Deleted; y=undeleted; z=y=deleted", "", "x=Deleted; y=undeleted"},
      {"a=1; ; b=2", "", "a=1; ; b=2"},
  };
  for (const auto& c : cases) {
    Text held = c.held;
    Text received = c.received;
    EXPECT_EQ(MergeCookies(held, received), Text(c.merged)) << c.held << " + " << c.received;
    EXPECT_EQ(held, Text(c.merged)) << c.held << " + " << c.received;
  }
}

TEST(Cookies, MergeLeavesTheReceivedTextTidied) {
  Text held;
  Text received = "  a=1;";
  MergeCookies(held, received);
  EXPECT_EQ(received, Text("a=1; "));
}

TEST(Cookies, NamesAndItems) {
  EXPECT_EQ(CookieName(" sid =abc"), Text("sid"));
  EXPECT_EQ(CookieName("flag"), Text("flag"));
  EXPECT_EQ(CookieName("=v"), Text(""));
  EXPECT_TRUE(HasCookieName({"a=1", " b=2"}, "b"));
  EXPECT_FALSE(HasCookieName({"a=1", "B=2"}, "b"));
  EXPECT_FALSE(HasCookieName({}, ""));
  EXPECT_EQ(IndexOfText({"x", "y", "y"}, "y"), 2);
  EXPECT_EQ(IndexOfText({"x"}, "X"), -1);
  EXPECT_EQ(UniqueItems("a; b; a; c; b", "; "), Text("a; b; c"));
  EXPECT_EQ(UniqueItems("", "; "), Text(""));
  EXPECT_EQ(UniqueItems("a,,b,", ","), Text("a,,b"));
}

}  // namespace
}  // namespace pl
