// FetchPage through the Windows Internet API (Wine's on the build machine)
// against a server on 127.0.0.1 that the test starts: what goes out, what
// comes back whole, and which failures give the empty result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/winsock_server.h"
#include "text/tests/test_print.h"
#include "web/cookies.h"
#include "web/fetch_page.h"
#include "web/http_layer.h"
#include "web/wininet_layer.h"

namespace pl {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using pl::testing::HttpAnswer;
using pl::testing::WinsockServer;

Text T(const std::string& s) { return Text(s); }
std::string Utf8Str(std::u8string_view s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

// The request's head, with the body cut off.
std::string Head(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 2); }

TEST(WininetFetchPage, UrlAloneIsAGetWithTheDefaultHeaderBlock) {
  WinsockServer server([](const std::string&) {
    return HttpAnswer("200 OK", {"Content-Type: text/html; charset=utf-8"},
                      Utf8Str(u8"<p>第<strong class=\"text-primary\">5</strong>位</p>"));
  });
  WininetLayer layer;
  const std::string url = server.base_address() + "getNextIndex.do?number=926";
  const Bytes body = FetchPage(T(url), {}, layer);

  EXPECT_EQ(Utf8ToCp936(body), Text("<p>第<strong class=\"text-primary\">5</strong>位</p>"));
  ASSERT_EQ(server.requests().size(), 1u);
  const std::string head = Head(server.requests()[0]);
  EXPECT_THAT(head, StartsWith("GET /getNextIndex.do?number=926 HTTP/1.1\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nAccept: */*\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nReferer: " + url + "\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nAccept-Language: zh-cn\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"));
}

// A line break in the agent would start a header line of its own: the
// agent ends before it.
TEST(WininetLayer, AgentEndsAtItsLineBreak) {
  WinsockServer server([](const std::string&) { return HttpAnswer("200 OK", {}, "ok"); });
  WininetLayer layer;
  const HttpHandle session = layer.Open("A/1.0\r\nX-Injected: 1", inet::INTERNET_OPEN_TYPE_DIRECT, {}, {}, 0);
  const HttpHandle connection =
      layer.Connect(session, "127.0.0.1", server.port(), {}, {}, inet::INTERNET_SERVICE_HTTP, 0, 0);
  const HttpHandle request = layer.OpenRequest(connection, "GET", "/", "HTTP/1.1", {}, inet::INTERNET_FLAG_RELOAD, 0);
  ASSERT_TRUE(request);
  EXPECT_TRUE(layer.Send(request, {}, 0, {}));
  std::uint8_t buffer[64];
  int count = 0;
  EXPECT_TRUE(layer.Read(request, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 2);
  layer.Close(request);
  layer.Close(connection);
  layer.Close(session);
  ASSERT_EQ(server.requests().size(), 1u);
  const std::string head = Head(server.requests()[0]);
  EXPECT_THAT(head, HasSubstr("\r\nUser-Agent: A/1.0\r\n"));
  EXPECT_THAT(head, ::testing::Not(HasSubstr("X-Injected")));
}

TEST(WininetFetchPage, BodyComesWholeWithItsZeroBytes) {
  std::string payload;
  for (int i = 0; i < 5000; ++i) payload.push_back(static_cast<char>(i % 251));  // zeros included
  WinsockServer server([&](const std::string&) { return HttpAnswer("200 OK", {}, payload); });
  WininetLayer layer;
  EXPECT_EQ(FetchPage(T(server.base_address() + "bin"), {}, layer), Bytes(payload));
}

// The raw header text comes whole whatever its size (here over 12000 bytes,
// in lines of 600: Wine's own WinInet cuts a single line beyond 4 KiB), so
// cookies set after long headers are still collected.
TEST(WininetFetchPage, ReceivedHeadersWholeAndCookiesCollected) {
  std::vector<std::string> lines;
  std::string long_lines;
  for (int i = 0; i < 20; ++i) {
    lines.push_back("X-Long-" + std::to_string(i) + ": " + std::string(600, static_cast<char>('a' + i)));
    long_lines += lines.back() + "\r\n";
  }
  lines.insert(lines.end(), {"Set-Cookie: sid=abc; path=/", "Set-Cookie: lang=zh", "set-cookie: ignored=1"});
  WinsockServer server([&](const std::string&) { return HttpAnswer("200 OK", lines, "ok"); });
  WininetLayer layer;
  Text headers;
  Text cookies;
  FetchOptions o;
  o.received_headers = &headers;
  o.received_cookies = &cookies;
  EXPECT_EQ(FetchPage(T(server.base_address()), o, layer), Bytes("ok"));
  EXPECT_GT(TextLength(headers), 12000);
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(headers.str(), HasSubstr(long_lines));
  EXPECT_EQ(cookies, Text("sid=abc; lang=zh"));
}

TEST(WininetFetchPage, PostSendsTheBodyTextAndTheCookieLine) {
  WinsockServer server([](const std::string&) { return HttpAnswer("200 OK", {"Set-Cookie: b=3"}, "done"); });
  WininetLayer layer;
  Text jar = "a=1; b=2";
  Bytes body_bytes;
  FetchOptions o;
  o.method = 1;
  o.body_text = "x=1&y=2";
  o.cookies = &jar;
  o.body_bytes = &body_bytes;
  EXPECT_EQ(FetchPage(T(server.base_address() + "form"), o, layer), Bytes("done"));
  ASSERT_EQ(server.requests().size(), 1u);
  const std::string request = server.requests()[0];
  EXPECT_THAT(request, StartsWith("POST /form HTTP/1.1\r\n"));
  EXPECT_THAT(request, HasSubstr("\r\nContent-Type: application/x-www-form-urlencoded"));
  EXPECT_THAT(request, HasSubstr("\r\nCookie: a=1; b=2\r\n"));
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), "x=1&y=2");
  EXPECT_EQ(body_bytes, Bytes("x=1&y=2"));
  Text held = "a=1; b=2";
  Text set = "b=3";
  EXPECT_EQ(jar, MergeCookies(held, set));
}

TEST(WininetFetchPage, RedirectionsFollowedUnlessTold) {
  WinsockServer server([](const std::string& request) {
    if (request.rfind("GET /old ", 0) == 0) return HttpAnswer("302 Found", {"Location: /new"}, "moved");
    return HttpAnswer("200 OK", {}, "new page");
  });
  WininetLayer layer;
  EXPECT_EQ(FetchPage(T(server.base_address() + "old"), {}, layer), Bytes("new page"));
  FetchOptions o;
  o.no_redirect = true;
  EXPECT_EQ(FetchPage(T(server.base_address() + "old"), o, layer), Bytes("moved"));
}

TEST(WininetFetchPage, HeadGivesNoBodyButTheHeaders) {
  WinsockServer server([](const std::string&) {
    return std::string("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\nX-Seen: yes\r\n\r\n");
  });
  WininetLayer layer;
  Text headers;
  FetchOptions o;
  o.method = 2;
  o.received_headers = &headers;
  EXPECT_EQ(FetchPage(T(server.base_address()), o, layer), Bytes());
  EXPECT_THAT(headers.str(), HasSubstr("X-Seen: yes\r\n"));
}

// A request that gets no whole answer is a failed request: empty result, and
// the out-arguments keep what the caller had in them.
TEST(WininetFetchPage, FailuresGiveTheEmptyResultAndLeaveTheArguments) {
  WinsockServer broken([](const std::string&) {
    return std::string("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nonly this much");
  });
  const std::string nobody = "http://127.0.0.1:" + std::to_string(WinsockServer::UnusedPort()) + "/";
  const std::string bad_port = "http://127.0.0.1:70000/";
  for (const std::string& url : {broken.base_address() + "cut", nobody, bad_port}) {
    WininetLayer layer;
    Text headers = "kept";
    Text cookies = "kept";
    FetchOptions o;
    o.received_headers = &headers;
    o.received_cookies = &cookies;
    EXPECT_EQ(FetchPage(T(url), o, layer), Bytes()) << url;
    EXPECT_EQ(headers, Text("kept")) << url;
    EXPECT_EQ(cookies, Text("kept")) << url;
  }
}

TEST(WininetLayerDeathTest, AFunctionThatCannotBeBoundEndsTheProgram) {
  struct Case {
    const char* library;
    std::u8string_view message;
  };
  const Case cases[] = {
      {"pl-no-such-library.dll", u8"错误信息：无法找到指定DLL库文件“pl-no-such-library.dll”中的输出命令“InternetOpenA”"},
      {"kernel32.dll", u8"错误信息：无法找到指定DLL库文件“kernel32.dll”中的输出命令“InternetOpenA”"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(
        {
          WininetLayer layer(WininetLayerSettings{c.library});
          FetchPage("http://127.0.0.1/", {}, layer);
        },
        ::testing::ExitedWithCode(-1), HasSubstr(Utf8Str(c.message)));
  }
}

}  // namespace
}  // namespace pl
