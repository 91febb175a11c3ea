// FetchPage over a recording layer: every call it makes, and what it hands
// back, for each argument.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/recording_layer.h"
#include "web/fetch_page.h"

namespace pl {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::RecordingLayer;

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(FetchPage, UrlAloneMakesTheDefaultGetStepByStep) {
  RecordingLayer layer;
  layer.pieces = {"hello ", "world"};
  const Text url = "http://127.0.0.1:8314/getNumber.do?index=5";
  const Bytes body = FetchPage(url, {}, layer);

  EXPECT_EQ(body.view(), "hello world");
  EXPECT_THAT(layer.calls, ElementsAre(std::string("Open ") + kAgent + "|1|||0",
                                       "Connect 1|127.0.0.1|8314|||3|0|0",
                                       "OpenRequest 2|GET|/getNumber.do?index=5|HTTP/1.1||80004010|0",
                                       "SetOption 3|31|0001F380",  //
                                       "Send 3",                   //
                                       "Read 3|1024", "Read 3|1024", "Read 3|1024",  //
                                       "QueryRawHeaders 3",        //
                                       "Close 3", "Close 2", "Close 1"));
  const std::string block = "Accept: */*\r\nReferer: " + url.str() + "\r\nAccept-Language: zh-cn";
  EXPECT_EQ(layer.sent_headers, block);
  EXPECT_EQ(layer.sent_headers_length, static_cast<int>(block.size()));
  EXPECT_EQ(layer.sent_body, "");
}

TEST(FetchPage, SecureUrlInAnyCaseSetsTheSecureFlagAndPort443) {
  RecordingLayer layer;
  FetchPage("HTTPS://Example.COM/a", {}, layer);
  EXPECT_THAT(layer.CallsOf("Connect"), ElementsAre("Connect 1|example.com|443|||3|0|0"));
  EXPECT_THAT(layer.CallsOf("OpenRequest"), ElementsAre("OpenRequest 2|GET|/a|HTTP/1.1||80800010|0"));
}

TEST(FetchPage, MethodSelectsTheVerbAndOutOfRangeMeansGet) {
  const struct {
    int method;
    const char* verb;
  } cases[] = {{-1, "GET"}, {0, "GET"},     {1, "POST"},   {2, "HEAD"},  {3, "PUT"},
               {4, "OPTIONS"}, {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}};
  for (const auto& c : cases) {
    RecordingLayer layer;
    FetchOptions o;
    o.method = c.method;
    o.body_text = "x=1";
    FetchPage("http://h/p", o, layer);
    ASSERT_EQ(layer.CallsOf("OpenRequest").size(), 1u);
    EXPECT_THAT(layer.CallsOf("OpenRequest")[0], HasSubstr(std::string("|") + c.verb + "|/p|")) << c.method;
    // An out-of-range method is a GET in every step: no body is sent.
    EXPECT_EQ(layer.sent_body, std::string(c.verb) == "GET" ? "" : "x=1") << c.method;
  }
}

TEST(FetchPage, FlagsForCookiesAndRedirects) {
  const struct {
    bool cookies;
    bool no_redirect;
    const char* flags;
  } cases[] = {{false, false, "80004010"}, {true, false, "80084010"}, {false, true, "80204010"},
               {true, true, "80284010"}};
  for (const auto& c : cases) {
    RecordingLayer layer;
    Text jar;
    FetchOptions o;
    o.cookies = c.cookies ? &jar : nullptr;
    o.no_redirect = c.no_redirect;
    FetchPage("http://h/", o, layer);
    EXPECT_THAT(layer.CallsOf("OpenRequest")[0], HasSubstr(c.flags)) << c.cookies << c.no_redirect;
  }
}

TEST(FetchPage, PostBodyTextIsSentAndHandedBackAsBodyBytes) {
  RecordingLayer layer;
  Bytes body_bytes;
  FetchOptions o;
  o.method = 1;
  o.body_text = "a=1&b=2";
  o.body_bytes = &body_bytes;
  FetchPage("http://h/form", o, layer);
  EXPECT_EQ(layer.sent_body, "a=1&b=2");
  EXPECT_EQ(body_bytes.view(), "a=1&b=2");
  EXPECT_EQ(layer.sent_headers,
            "Accept: */*\r\nReferer: http://h/form\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(FetchPage, BodyBytesWinOverBodyTextAndMayHoldZeros) {
  RecordingLayer layer;
  Bytes body_bytes(std::string_view("\x01\x00\x02", 3));
  FetchOptions o;
  o.method = 1;
  o.body_text = "ignored";
  o.body_bytes = &body_bytes;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(layer.sent_body, std::string("\x01\x00\x02", 3));
  EXPECT_EQ(body_bytes.view(), std::string_view("\x01\x00\x02", 3));
}

TEST(FetchPage, GetSendsNoBodyAndLeavesBodyBytes) {
  RecordingLayer layer;
  Bytes body_bytes;
  FetchOptions o;
  o.body_text = "a=1";
  o.body_bytes = &body_bytes;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(layer.sent_body, "");
  EXPECT_TRUE(body_bytes.empty());
}

TEST(FetchPage, PutSendsTheBodyWithoutContentType) {
  RecordingLayer layer;
  FetchOptions o;
  o.method = 3;
  o.body_text = "data";
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(layer.sent_body, "data");
  EXPECT_THAT(layer.sent_headers, ::testing::Not(HasSubstr("Content-Type")));
}

TEST(FetchPage, UserAgentRules) {
  const struct {
    const char* headers;
    bool normalize;
    const char* agent;
    const char* block_starts;
  } cases[] = {
      {"", true, kAgent, "Accept: */*"},
      {"user-agent: X/1.0", true, "X/1.0", "User-Agent: X/1.0\r\nAccept: */*"},
      {"user-agent: X/1.0", false, "X/1.0", "user-agent: X/1.0\r\nAccept: */*"},
      // Named in exact case after another line: its own value.
      {"Accept: a\r\nUser-Agent:  Y  ", false, "Y", "Accept: a\r\nUser-Agent:  Y  "},
      // Named in another case after another line: the first colon's value.
      {"x-a: 1\r\nuser-agent: Z", false, "1\r\nuser-agent: Z", "x-a: 1\r\nuser-agent: Z"},
  };
  for (const auto& c : cases) {
    RecordingLayer layer;
    FetchOptions o;
    o.headers = c.headers;
    o.normalize_headers = c.normalize;
    FetchPage("http://h/", o, layer);
    EXPECT_EQ(layer.CallsOf("Open")[0], std::string("Open ") + c.agent + "|1|||0") << c.headers;
    EXPECT_EQ(layer.sent_headers.rfind(c.block_starts, 0), 0u) << layer.sent_headers;
  }
}

TEST(FetchPage, HeaderBlockWithoutDefaults) {
  const struct {
    const char* headers;
    const char* cookies;  // nullptr: not supplied
    const char* sent;
  } cases[] = {
      {"", nullptr, ""},
      {"", "", ""},
      {"", "a=1; b=2", "\r\nCookie: a=1; b=2"},
      {"x-y: 1\r\n", "Cookie: a=1", "X-Y: 1\r\nCookie: a=1"},
      {"x-y: 1", "cookie: a=1", "X-Y: 1\r\nCookie: cookie: a=1"},
  };
  for (const auto& c : cases) {
    RecordingLayer layer;
    Text jar = c.cookies ? c.cookies : "";
    FetchOptions o;
    o.headers = c.headers;
    o.add_default_headers = false;
    o.cookies = c.cookies ? &jar : nullptr;
    FetchPage("http://h/", o, layer);
    EXPECT_EQ(layer.sent_headers, c.sent);
    EXPECT_EQ(layer.sent_headers_length, static_cast<int>(std::string(c.sent).size()));
  }
}

TEST(FetchPage, CookieLineComesAfterTheDefaultLinesAndIsNotNormalized) {
  RecordingLayer layer;
  Text jar = "a=1; b=2";
  FetchOptions o;
  o.headers = "referer: http://r/";
  o.cookies = &jar;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(layer.sent_headers, "Referer: http://r/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nCookie: a=1; b=2");
}

TEST(FetchPage, ProxyIsNamedForPlainHttpAndGivenAloneForHttps) {
  const struct {
    const char* url;
    const char* open;
  } cases[] = {{"http://h/", "|3|http=127.0.0.1:3128||0"}, {"h/", "|3|http=127.0.0.1:3128||0"},
               {"HTTPS://h/", "|3|127.0.0.1:3128||0"}};
  for (const auto& c : cases) {
    RecordingLayer layer;
    FetchOptions o;
    o.proxy = "127.0.0.1:3128";
    FetchPage(c.url, o, layer);
    EXPECT_EQ(layer.CallsOf("Open")[0], std::string("Open ") + kAgent + c.open) << c.url;
  }
}

TEST(FetchPage, ReceivedCookiesAreTheSetCookieLinesSpelledExactly) {
  const struct {
    const char* headers;
    const char* cookies;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\nSet-Cookie: lang=zh\r\nset-cookie: x=1\r\n"
       "Set-Cookie:y=2\r\n\r\n",
       "sid=abc; lang=zh"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
  };
  for (const auto& c : cases) {
    RecordingLayer layer;
    layer.raw_headers = c.headers;
    Text received_cookies = "before";
    Text received_headers;
    FetchOptions o;
    o.received_cookies = &received_cookies;
    o.received_headers = &received_headers;
    FetchPage("http://h/", o, layer);
    EXPECT_EQ(received_cookies, Text(c.cookies));
    EXPECT_EQ(received_headers, Text(c.headers));
  }
}

TEST(FetchPage, SuppliedCookiesAreMergedWithTheReceivedOnes) {
  RecordingLayer layer;
  layer.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: b=20; path=/\r\nSet-Cookie: sid=deleted\r\n\r\n";
  Text jar = "a=1; b=2; sid=7";
  Text received;
  FetchOptions o;
  o.cookies = &jar;
  o.received_cookies = &received;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(jar, Text("b=20; a=1"));
  EXPECT_EQ(received, Text("b=20; a=1"));
  EXPECT_THAT(layer.sent_headers, ::testing::EndsWith("\r\nCookie: a=1; b=2; sid=7"));
}

TEST(FetchPage, WithoutMergingTheCookiesKeepTheirValue) {
  RecordingLayer layer;
  layer.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: b=20\r\n\r\n";
  Text jar = "a=1";
  Text received;
  FetchOptions o;
  o.cookies = &jar;
  o.received_cookies = &received;
  o.merge_cookies = false;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(jar, Text("a=1"));
  EXPECT_EQ(received, Text("b=20"));
}

TEST(FetchPage, SuppliedEmptyCookiesStillMerge) {
  RecordingLayer layer;
  layer.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: n=1; path=/\r\n\r\n";
  Text jar;
  FetchOptions o;
  o.cookies = &jar;
  FetchPage("http://h/", o, layer);
  EXPECT_EQ(jar, Text("n=1"));
  EXPECT_THAT(layer.sent_headers, ::testing::Not(HasSubstr("Cookie")));
}

// A header text of any length comes back whole, with its cookies.
TEST(FetchPage, LongAnswerHeadersComeBackWhole) {
  RecordingLayer layer;
  layer.raw_headers = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(6000, 'x') + "\r\nSet-Cookie: big=1; path=/\r\n\r\n";
  layer.pieces = {"body"};
  Text headers;
  Text cookies;
  FetchOptions o;
  o.received_headers = &headers;
  o.received_cookies = &cookies;
  EXPECT_EQ(FetchPage("http://h/", o, layer).view(), "body");
  EXPECT_EQ(headers, Text(layer.raw_headers));
  EXPECT_EQ(cookies, Text("big=1"));
}

TEST(FetchPage, BodyOfManyPiecesKeepsEveryByte) {
  RecordingLayer layer;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    std::string piece(1024, static_cast<char>(i));  // includes a piece of zeros
    layer.pieces.push_back(piece);
    expected += piece;
  }
  layer.pieces.push_back("end");
  expected += "end";
  const Bytes body = FetchPage("http://h/", {}, layer);
  EXPECT_EQ(body.view(), expected);
}

TEST(FetchPage, AnswerWithoutBodyIsNoFailure) {
  RecordingLayer layer;
  layer.raw_headers = "HTTP/1.1 204 No Content\r\n\r\n";
  Text headers = "before";
  FetchOptions o;
  o.method = 2;
  o.received_headers = &headers;
  EXPECT_TRUE(FetchPage("http://h/", o, layer).empty());
  EXPECT_EQ(headers, Text("HTTP/1.1 204 No Content\r\n\r\n"));
}

// Every way a request can fail: empty result, handles closed newest first,
// and every out-argument as the caller left it.
TEST(FetchPage, FailureLeavesTheOutArgumentsAlone) {
  const struct {
    const char* what;
    void (*set)(RecordingLayer&);
    std::vector<std::string> closes;
  } cases[] = {
      {"open", [](RecordingLayer& l) { l.fail_open = true; }, {}},
      {"connect", [](RecordingLayer& l) { l.fail_connect = true; }, {"Close 1"}},
      {"request", [](RecordingLayer& l) { l.fail_request = true; }, {"Close 2", "Close 1"}},
      {"send", [](RecordingLayer& l) { l.fail_send = true; }, {"Close 3", "Close 2", "Close 1"}},
      {"first read", [](RecordingLayer& l) { l.fail_read_after = 0; }, {"Close 3", "Close 2", "Close 1"}},
      {"later read", [](RecordingLayer& l) { l.fail_read_after = 2; }, {"Close 3", "Close 2", "Close 1"}},
  };
  for (const auto& c : cases) {
    RecordingLayer layer;
    layer.pieces = {"part one", "part two", "part three"};
    layer.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: n=1\r\n\r\n";
    c.set(layer);
    Text jar = "a=1";
    Text received_cookies = "rc";
    Text received_headers = "rh";
    Bytes body_bytes;
    FetchOptions o;
    o.method = 1;
    o.body_text = "t=1";
    o.cookies = &jar;
    o.received_cookies = &received_cookies;
    o.received_headers = &received_headers;
    o.body_bytes = &body_bytes;
    EXPECT_TRUE(FetchPage("http://h/", o, layer).empty()) << c.what;
    EXPECT_EQ(layer.CallsOf("Close"), c.closes) << c.what;
    EXPECT_EQ(jar, Text("a=1")) << c.what;
    EXPECT_EQ(received_cookies, Text("rc")) << c.what;
    EXPECT_EQ(received_headers, Text("rh")) << c.what;
    EXPECT_TRUE(body_bytes.empty()) << c.what;
    EXPECT_TRUE(layer.CallsOf("QueryRawHeaders").empty()) << c.what;
  }
}

}  // namespace
}  // namespace pl
