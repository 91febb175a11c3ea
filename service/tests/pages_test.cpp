// The answer pages read the way the desktop program reads them: the body
// converted to code page 936, each value cut out with TextBetween between
// the program's own markers.
#include "pages.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "test_support.h"
#include "text/text.h"

namespace pisvc {
namespace {

using test::MillionDigits;

const PiIndex& Million() {
  static const PiIndex index = [] {
    std::string error;
    auto opened = PiIndex::Open(test::MillionDigitsPath(), PiIndex::DefaultPath(test::MillionDigitsPath()), {}, error);
    if (!opened) throw std::runtime_error(error);
    return std::move(*opened);
  }();
  return index;
}

// This file's literals are UTF-8; the program's markers are code page 936.
pl::Text Cp936(std::string_view utf8) { return pl::Utf8ToCp936(pl::Bytes(utf8)); }

std::string Cut(const pl::Text& page, std::string_view left, std::string_view right) {
  return pl::TextBetween(page, Cp936(left), Cp936(right)).str();
}

// What the position lookup page shows, read as the window reads it.
struct PositionRead {
  std::string position, before, after, time;
};
PositionRead ReadPosition(const std::string& body) {
  const pl::Text page = pl::Utf8ToCp936(pl::Bytes(body));
  return {Cut(page, "<strong class=\"text-primary\">", "</strong>"), Cut(page, "：<span>", "</span>"),
          Cut(page, "</strong><span>", "</span>"), Cut(page, "时<strong class=\"text-primary\">", "</strong>")};
}

// What the digit lookup page shows.
struct PlaceRead {
  std::string place, before, digit, after, time;
};
PlaceRead ReadPlace(const std::string& body) {
  const pl::Text page = pl::Utf8ToCp936(pl::Bytes(body));
  return {Cut(page, "<strong class=\"text-primary\">", "</strong>"), Cut(page, "是：<span>", "</span>"),
          Cut(page, "</span><strong class = \"text-primary\">", "</strong>"), Cut(page, "</strong><span>", "</span>"),
          Cut(page, "时<strong class=\"text-primary\">", "</strong>")};
}

bool IsSeconds(const std::string& s) { return std::regex_match(s, std::regex("[0-9]+\\.[0-9]{6}")); }

// A page that answers nothing: no value marker of either page anywhere.
void ExpectNoMarkers(const Reply& r, const std::string& what) {
  EXPECT_EQ(r.body.find("<strong class=\"text-primary\">"), std::string::npos) << what;
  EXPECT_EQ(r.body.find("<strong class = \"text-primary\">"), std::string::npos) << what;
  EXPECT_EQ(r.body.find("：<span>"), std::string::npos) << what;
  EXPECT_EQ(r.body.find("</strong><span>"), std::string::npos) << what;
  const PositionRead p = ReadPosition(r.body);
  EXPECT_EQ(p.position + p.before + p.after + p.time, "") << what;
  const PlaceRead q = ReadPlace(r.body);
  EXPECT_EQ(q.place + q.before + q.digit + q.after + q.time, "") << what;
}

TEST(PositionPage, FoundValuesReadAsTheWindowReadsThem) {
  const std::string& d = MillionDigits();
  struct Case {
    std::string number;
    std::string position, before, after;
  };
  const std::string last = d.substr(d.size() - 15);
  const Case cases[] = {
      {"926", "5", "1415", "53589793238462643383"},
      {"999999", "762", "1870721134", d.substr(767, 20)},
      {"1", "1", "", d.substr(1, 20)},
      {"14159", "1", "", d.substr(5, 20)},
      {d.substr(0, 1000), "1", "", d.substr(1000, 20)},
      {last, std::to_string(test::NaiveFind(d, last)), d.substr(test::NaiveFind(d, last) - 11, 10), ""},
  };
  for (const Case& c : cases) {
    const Reply r = Answer(Million(), "GET", "/getNextIndex.do?number=" + c.number);
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.content_type, "text/html; charset=utf-8");
    const PositionRead got = ReadPosition(r.body);
    EXPECT_EQ(got.position, c.position) << c.number.substr(0, 20);
    EXPECT_EQ(got.before, c.before) << c.number.substr(0, 20);
    EXPECT_EQ(got.after, c.after) << c.number.substr(0, 20);
    EXPECT_TRUE(IsSeconds(got.time)) << got.time;
  }
  // The skeleton itself, byte for byte, after the opening of the body.
  const Reply r = Answer(Million(), "GET", "/getNextIndex.do?number=926");
  const std::size_t body = r.body.find("<body>\n");
  ASSERT_NE(body, std::string::npos);
  const std::string expected =
      "<body>\n<p>数字 926 在小数点后第<strong class=\"text-primary\">5</strong>位</p>\n"
      "<p>附近的数字：<span>1415</span><strong>926</strong><span>53589793238462643383</span></p>\n"
      "<p>执行功能用时<strong class=\"text-primary\">";
  EXPECT_EQ(r.body.substr(body, expected.size()), expected);
  // Nothing before the body carries a marker.
  EXPECT_EQ(r.body.substr(0, body).find("<strong"), std::string::npos);
  EXPECT_EQ(r.body.substr(0, body).find("<span>"), std::string::npos);
}

TEST(PositionPage, FindNextFollowsTheOccurrences) {
  const std::string& d = MillionDigits();
  const Reply first = Answer(Million(), "GET", "/getNextIndex.do?number=926");
  EXPECT_NE(first.body.find("/getNextIndex.do?number=926&amp;after=5\""), std::string::npos);
  const Reply next = Answer(Million(), "GET", "/getNextIndex.do?number=926&after=5");
  const std::uint64_t want = test::NaiveFind(d, "926", 5);
  EXPECT_EQ(ReadPosition(next.body).position, std::to_string(want));
  EXPECT_EQ(ReadPosition(next.body).before, d.substr(want - 11, 10));
  EXPECT_NE(next.body.find("after=" + std::to_string(want) + "\""), std::string::npos);
  // After the last occurrence: the not-found page, status 200.
  const std::string last = d.substr(d.size() - 15);
  const Reply none = Answer(Million(), "GET",
                            "/getNextIndex.do?number=" + last + "&after=" + std::to_string(test::NaiveFind(d, last)));
  EXPECT_EQ(none.status, 200u);
  ExpectNoMarkers(none, "after the last");
}

TEST(PositionPage, NotFoundCarriesNoMarker) {
  const std::string& d = MillionDigits();
  std::string absent = "0123456789012";
  ASSERT_EQ(test::NaiveFind(d, absent), 0u);
  for (const std::string& q : {absent, std::string(1000, '7'), d.substr(d.size() - 3) + "000000000"}) {
    ASSERT_EQ(test::NaiveFind(d, q), 0u);
    const Reply r = Answer(Million(), "GET", "/getNextIndex.do?number=" + q);
    EXPECT_EQ(r.status, 200u) << q.substr(0, 20);
    ExpectNoMarkers(r, q.substr(0, 20));
    EXPECT_NE(r.body.find("在π的小数点后前1000000位中没有找到"), std::string::npos);
  }
}

TEST(LookupPages, RefusedQueriesGet400AndNoMarker) {
  const std::string many(1001, '1');
  const char* const targets[] = {
      "/getNextIndex.do?number=",
      "/getNextIndex.do?number=-12",
      "/getNextIndex.do?number=12a",
      "/getNextIndex.do?number=1.5",
      "/getNextIndex.do?number=%2012",
      "/getNextIndex.do?number=%E4%B8%80",
      "/getNextIndex.do",
      "/getNextIndex.do?numbers=12",
      "/getNextIndex.do?number=12&after=x",
      "/getNextIndex.do?number=12&after=1000001",
      "/getNumber.do?index=",
      "/getNumber.do?index=0",
      "/getNumber.do?index=-1",
      "/getNumber.do?index=1000001",
      "/getNumber.do?index=99999999999999999999999999999999",
      "/getNumber.do?index=5x",
      "/getNumber.do?index=+5",
      "/getNumber.do",
  };
  for (const char* t : targets) {
    const Reply r = Answer(Million(), "GET", t);
    EXPECT_EQ(r.status, 400u) << t;
    ExpectNoMarkers(r, t);
  }
  const Reply long_one = Answer(Million(), "GET", "/getNextIndex.do?number=" + many);
  EXPECT_EQ(long_one.status, 400u);
  ExpectNoMarkers(long_one, "1001 digits");
  EXPECT_NE(long_one.body.find("最多1000位，这次有1001位"), std::string::npos);
  EXPECT_NE(Answer(Million(), "GET", "/getNextIndex.do?number=-12").body.find("负号"), std::string::npos);
  EXPECT_NE(Answer(Million(), "GET", "/getNumber.do?index=0").body.find("1到1000000之间"), std::string::npos);
}

TEST(LookupPages, WhatTheUserTypedIsEscaped) {
  const Reply r = Answer(Million(), "GET", "/getNextIndex.do?number=%3Cscript%3Ealert(1)%3C/script%3E");
  EXPECT_EQ(r.status, 400u);
  EXPECT_EQ(r.body.find("<script>"), std::string::npos);
  EXPECT_NE(r.body.find("&lt;script&gt;"), std::string::npos);
}

TEST(PlacePage, ValuesReadAsTheWindowReadsThem) {
  const std::string& d = MillionDigits();
  struct Case {
    std::string index;
    std::string place, before, digit, after;
  };
  const Case cases[] = {
      {"5", "5", "1415", "9", "26535897932384626433"},
      {"1", "1", "", "1", d.substr(1, 20)},
      {"11", "11", "1415926535", d.substr(10, 1), d.substr(11, 20)},
      {"0005", "5", "1415", "9", "26535897932384626433"},
      {"999990", "999990", d.substr(999979, 10), d.substr(999989, 1), d.substr(999990)},
      {"1000000", "1000000", d.substr(999989, 10), d.substr(999999, 1), ""},
  };
  for (const Case& c : cases) {
    const Reply r = Answer(Million(), "GET", "/getNumber.do?index=" + c.index);
    EXPECT_EQ(r.status, 200u) << c.index;
    const PlaceRead got = ReadPlace(r.body);
    EXPECT_EQ(got.place, c.place) << c.index;
    EXPECT_EQ(got.before, c.before) << c.index;
    EXPECT_EQ(got.digit, c.digit) << c.index;
    EXPECT_EQ(got.after, c.after) << c.index;
    EXPECT_TRUE(IsSeconds(got.time)) << got.time;
  }
  const Reply r = Answer(Million(), "GET", "/getNumber.do?index=5");
  const std::string expected =
      "<body>\n<p>小数点后第<strong class=\"text-primary\">5</strong>位</p>\n"
      "<p>数字是：<span>1415</span><strong class = \"text-primary\">9</strong>"
      "<span>26535897932384626433</span></p>\n<p>执行功能用时<strong class=\"text-primary\">";
  EXPECT_EQ(r.body.substr(r.body.find("<body>\n"), expected.size()), expected);
}

TEST(Api, SearchAndDigits) {
  const std::string& d = MillionDigits();
  Reply r = Answer(Million(), "GET", "/api/search?q=926");
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(r.content_type, "application/json; charset=utf-8");
  EXPECT_TRUE(r.cross_origin);
  EXPECT_NE(r.body.find("\"position\":5,"), std::string::npos) << r.body;
  EXPECT_NE(r.body.find("\"count\":" + std::to_string(test::NaiveCount(d, "926")) + ","), std::string::npos) << r.body;
  EXPECT_NE(r.body.find("\"before\":\"1415\",\"following\":\"53589793238462643383\""), std::string::npos) << r.body;
  EXPECT_TRUE(std::regex_search(r.body, std::regex("\"seconds\":[0-9]+\\.[0-9]{6}\\}")));

  r = Answer(Million(), "GET", "/api/search?q=926&after=5");
  EXPECT_NE(r.body.find("\"position\":" + std::to_string(test::NaiveFind(d, "926", 5)) + ","), std::string::npos);
  r = Answer(Million(), "GET", "/api/search?q=0123456789012");
  EXPECT_NE(r.body.find("\"position\":null,\"count\":0,"), std::string::npos) << r.body;

  r = Answer(Million(), "GET", "/api/digits?start=1&count=10");
  EXPECT_NE(r.body.find("\"start\":1,\"count\":10,\"digits\":\"1415926535\""), std::string::npos) << r.body;
  r = Answer(Million(), "GET", "/api/digits?start=999995&count=10000");
  EXPECT_NE(r.body.find("\"count\":6,\"digits\":\"" + d.substr(999994) + "\""), std::string::npos) << r.body;
  r = Answer(Million(), "GET", "/api/digits?start=1&count=10000");
  EXPECT_NE(r.body.find(d.substr(0, 10000) + "\""), std::string::npos);

  for (const char* bad : {"/api/search", "/api/search?q=", "/api/search?q=-1", "/api/search?q=1&after=-1",
                          "/api/digits", "/api/digits?start=0", "/api/digits?start=1000001",
                          "/api/digits?start=1&count=10001", "/api/digits?start=1&count=0"}) {
    r = Answer(Million(), "GET", bad);
    EXPECT_EQ(r.status, 400u) << bad;
    EXPECT_EQ(r.content_type, "application/json; charset=utf-8") << bad;
    EXPECT_TRUE(std::regex_search(r.body, std::regex("^\\{\"error\":\"[a-z_]+\",\"message\":\"[^\"]+\"\\}\n$"))) << r.body;
  }
}

TEST(Routes, HomeMethodsAndUnknownPaths) {
  Reply r = Answer(Million(), "GET", "/");
  EXPECT_EQ(r.status, 200u);
  EXPECT_NE(r.body.find("<form action=\"/getNextIndex.do\" method=\"get\">"), std::string::npos);
  EXPECT_NE(r.body.find("<form action=\"/getNumber.do\" method=\"get\">"), std::string::npos);
  EXPECT_EQ(r.body.find("<script"), std::string::npos);
  EXPECT_EQ(r.body.find("http"), std::string::npos);  // no external asset
  ExpectNoMarkers(r, "home");

  r = Answer(Million(), "POST", "/getNumber.do?index=5");
  EXPECT_EQ(r.status, 405u);
  EXPECT_EQ(r.allow, "GET, HEAD");
  r = Answer(Million(), "OPTIONS", "/api/search?q=1");
  EXPECT_EQ(r.status, 204u);
  EXPECT_TRUE(r.cross_origin);
  r = Answer(Million(), "GET", "/nothing-here");
  EXPECT_EQ(r.status, 404u);
  ExpectNoMarkers(r, "404");
  EXPECT_EQ(Answer(Million(), "GET", "/api/nothing").status, 404u);
  EXPECT_EQ(ProtocolError(Million(), 431).status, 431u);
  ExpectNoMarkers(ProtocolError(Million(), 400), "400");
}

TEST(QueryValue, DecodesAndFindsTheFirst) {
  struct Case {
    const char* query;
    const char* name;
    bool found;
    const char* value;
  };
  const Case cases[] = {
      {"number=926", "number", true, "926"},
      {"a=1&number=926&number=5", "number", true, "926"},
      {"number=", "number", true, ""},
      {"number", "number", true, ""},
      {"numbers=1", "number", false, ""},
      {"", "number", false, ""},
      {"q=%39%32%36", "q", true, "926"},
      {"q=a+b%2", "q", true, "a b%2"},
      {"q=%zz", "q", true, "%zz"},
  };
  for (const Case& c : cases) {
    std::string value = "unchanged";
    EXPECT_EQ(QueryValue(c.query, c.name, value), c.found) << c.query;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.query;
    }
  }
}

}  // namespace
}  // namespace pisvc
