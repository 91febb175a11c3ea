#include <gtest/gtest.h>

#include "web/headers.h"

namespace pl {
namespace {

TEST(Headers, NormalizeCapitalizesNamePartsOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"user-agent: x\r\nx-requested-with: y", "User-Agent: x\r\nX-Requested-With: y"},
      {"content-TYPE: a", "Content-TYPE: a"},
      {"2x-ab: c", "2x-Ab: c"},
      {"a: 1\r\n\r\nno colon here\r\nb: 2\r\n", "A: 1\r\nB: 2"},
      {"accept :  */*", "Accept :  */*"},
      {"x-: 1", "X-: 1"},
      {"a--b: 1", "A--B: 1"},
      {"-a: 1", "-A: 1"},
      {": x", ": x"},
      {"host: a:8080", "Host: a:8080"},
      {"", ""},
      {"no colon\r\nnone here", ""},
      {"a: 1\nb: 2", "A: 1\nb: 2"},
      {"\xB0\xA1-x: 1", "\xB0\xA1-X: 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeHeaders(c.in), Text(c.out)) << c.in;
}

TEST(Headers, CapitalizeFirstAndHeaderValue) {
  EXPECT_EQ(CapitalizeFirst("abc"), Text("Abc"));
  EXPECT_EQ(CapitalizeFirst(""), Text(""));
  EXPECT_EQ(CapitalizeFirst("\xB0\x61x"), Text("\xB0\x61x"));
  EXPECT_EQ(HeaderValue("User-Agent:   abc  "), Text("abc"));
  EXPECT_EQ(HeaderValue("abc"), Text(""));
  EXPECT_EQ(HeaderValue("a: b\r\nc: d"), Text("b\r\nc: d"));
  EXPECT_EQ(HeaderValue("a:\tb\t"), Text("\tb\t"));
}

TEST(Headers, EnsureHeaderLooksAnywhereIgnoringCase) {
  const struct {
    const char* block;
    const char* out;
  } cases[] = {
      {"X-Accept: 1", "X-Accept: 1"},
      {"accept: text/html", "accept: text/html"},
      {"Host: h", "Host: h\r\nAccept: */*"},
      {"", "\r\nAccept: */*"},
  };
  for (const auto& c : cases) {
    Text block = c.block;
    EnsureHeader(block, "Accept:", "\r\nAccept: */*");
    EXPECT_EQ(block, Text(c.out)) << c.block;
  }
}

TEST(Headers, DefaultLines) {
  const struct {
    const char* block;
    bool post;
    const char* out;
  } cases[] = {
      {"", false, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"", true,
       "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      {"Referer: http://r/\r\naccept-language: en", false,
       "Referer: http://r/\r\naccept-language: en\r\nAccept: */*"},
      {"Content-Type: text/plain", true,
       "Content-Type: text/plain\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
  };
  for (const auto& c : cases) {
    Text block = c.block;
    AddDefaultHeaders(block, "http://h/p", c.post);
    EXPECT_EQ(block, Text(c.out)) << c.block;
  }
}

TEST(Headers, CookieLine) {
  const struct {
    const char* block;
    const char* cookies;
    const char* out;
  } cases[] = {
      {"A: 1", "a=1; b=2", "A: 1\r\nCookie: a=1; b=2"},
      {"A: 1", "Cookie: a=1", "A: 1\r\nCookie: a=1"},
      {"A: 1", "cookie: a=1", "A: 1\r\nCookie: cookie: a=1"},
      {"A: 1", "", "A: 1"},
      {"", "a=1", "\r\nCookie: a=1"},
  };
  for (const auto& c : cases) {
    Text block = c.block;
    AddCookieLine(block, c.cookies);
    EXPECT_EQ(block, Text(c.out)) << c.cookies;
  }
}

}  // namespace
}  // namespace pl
