// FetchPage over the libcurl layer against real servers on 127.0.0.1: the
// test HTTP/HTTPS server of test_server.py and tinyproxy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/test_servers.h"
#include "web/curl_layer.h"
#include "web/fetch_page.h"

namespace pl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TestServers;

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

class RealServer : public ::testing::Test {
 protected:
  explicit RealServer(bool with_proxy = false) : servers_(with_proxy) {}
  void SetUp() override { ASSERT_TRUE(servers_.ready()) << servers_.error(); }

  std::string Fetch(const std::string& url, FetchOptions o = {}) {
    return std::string(FetchPage(url, o, layer_).view());
  }

  TestServers servers_;
  CurlLayer layer_;
};

// The request that reached the server: request line and header lines, as
// the echo page returns them, up to the blank line.
std::string HeadOf(const std::string& echoed) { return echoed.substr(0, echoed.find("\r\n\r\n")); }

TEST_F(RealServer, DefaultGetSendsTheHeaderBlockAsItIs) {
  const std::string url = servers_.HttpUrl("/echo?x=1");
  const std::string head = HeadOf(Fetch(url));
  EXPECT_EQ(head, "GET /echo?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(servers_.http_port()) +
                      "\r\nUser-Agent: " + kAgent + "\r\nAccept: */*\r\nReferer: " + url +
                      "\r\nAccept-Language: zh-cn");
}

TEST_F(RealServer, BareHeaderBlockGetsNoLinesOfTheLibrary) {
  FetchOptions o;
  o.add_default_headers = false;
  o.method = 1;
  o.body_text = "q";
  o.headers = "user-agent: Tester/2\r\nx-empty:";
  const std::string head = HeadOf(Fetch(servers_.HttpUrl("/echo"), o));
  EXPECT_EQ(head, "POST /echo HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(servers_.http_port()) +
                      "\r\nUser-Agent: Tester/2\r\nX-Empty:\r\nContent-Length: 1");
}

// An agent taken from a value that runs over a line break ends at the break:
// it can add no header line of its own.
TEST_F(RealServer, AgentEndsAtALineBreak) {
  FetchOptions o;
  o.headers = "x-a: 1\r\nx-note: user-agent: Z";
  const std::string head = HeadOf(Fetch(servers_.HttpUrl("/echo"), o));
  EXPECT_THAT(head, HasSubstr("\r\nUser-Agent: 1\r\nX-A: 1\r\nX-Note: user-agent: Z\r\n"));
  EXPECT_EQ(head.find("X-Note"), head.rfind("X-Note"));
}

TEST_F(RealServer, PostSendsBodyBytesExactly) {
  const std::string data("a\0b\r\n\xff", 6);
  Bytes body_bytes(data);
  FetchOptions o;
  o.method = 1;
  o.body_bytes = &body_bytes;
  const std::string echoed = Fetch(servers_.HttpUrl("/echo"), o);
  EXPECT_THAT(HeadOf(echoed), HasSubstr("\r\nContent-Type: application/x-www-form-urlencoded"));
  EXPECT_THAT(HeadOf(echoed), HasSubstr("\r\nContent-Length: 6"));
  EXPECT_EQ(echoed.substr(echoed.find("\r\n\r\n") + 4), data);
}

TEST_F(RealServer, OtherVerbsAndBinaryBodies) {
  FetchOptions o;
  o.method = 3;
  o.body_text = "put-data";
  const std::string echoed = Fetch(servers_.HttpUrl("/echo"), o);
  EXPECT_THAT(echoed, StartsWith("PUT /echo HTTP/1.1\r\n"));
  EXPECT_THAT(echoed, ::testing::EndsWith("\r\n\r\nput-data"));
  o.method = 5;
  o.body_text = "";
  EXPECT_THAT(Fetch(servers_.HttpUrl("/echo"), o), StartsWith("DELETE /echo HTTP/1.1\r\n"));

  std::string expected;
  for (int i = 0; i < 3000; ++i) expected += static_cast<char>((i * 7) % 256);
  EXPECT_EQ(Fetch(servers_.HttpUrl("/bytes")), expected);
}

TEST_F(RealServer, HeadAndNoContentGiveNoBodyButHeaders) {
  Text headers;
  FetchOptions o;
  o.method = 2;
  o.received_headers = &headers;
  EXPECT_EQ(Fetch(servers_.HttpUrl("/echo"), o), "");
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(headers.str(), HasSubstr("\r\nContent-Length: "));

  o.method = 0;
  EXPECT_EQ(Fetch(servers_.HttpUrl("/no-content"), o), "");
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 204 No Content\r\n"));
}

TEST_F(RealServer, ReceivedCookiesAndTheMergedJar) {
  Text jar = "old=1; a=0";
  Text received;
  Text headers;
  FetchOptions o;
  o.cookies = &jar;
  o.received_cookies = &received;
  o.received_headers = &headers;
  Fetch(servers_.HttpUrl("/set-cookie?a=1&b=2"), o);
  EXPECT_THAT(headers.str(), HasSubstr("\r\nSet-Cookie: a=1; Path=/\r\n"));
  EXPECT_EQ(received, Text("a=1; b=2; old=1"));
  EXPECT_EQ(jar, Text("a=1; b=2; old=1"));
  // The jar goes out with the next request, in a Cookie line of its own.
  EXPECT_THAT(HeadOf(Fetch(servers_.HttpUrl("/echo"), o)), ::testing::EndsWith("\r\nCookie: a=1; b=2; old=1"));
}

TEST_F(RealServer, ProcessCookieStoreServesRequestsWithoutCookieText) {
  Fetch(servers_.HttpUrl("/set-cookie?s=1"));
  EXPECT_THAT(HeadOf(Fetch(servers_.HttpUrl("/echo"))), HasSubstr("\r\nCookie: s=1"));

  // A request with a cookie text neither uses nor feeds the store.
  Text jar;
  FetchOptions o;
  o.cookies = &jar;
  Fetch(servers_.HttpUrl("/set-cookie?t=2"), o);
  EXPECT_EQ(jar, Text("t=2"));
  EXPECT_THAT(HeadOf(Fetch(servers_.HttpUrl("/echo"), o)), Not(HasSubstr("s=1")));
  EXPECT_THAT(HeadOf(Fetch(servers_.HttpUrl("/echo"))), Not(HasSubstr("t=2")));

  // Another layer (another process) starts with an empty store.
  CurlLayer other;
  EXPECT_THAT(std::string(FetchPage(servers_.HttpUrl("/echo"), {}, other).view()), Not(HasSubstr("Cookie")));
}

TEST_F(RealServer, RedirectsFollowedOrNot) {
  Text headers;
  FetchOptions o;
  o.received_headers = &headers;
  EXPECT_THAT(Fetch(servers_.HttpUrl("/redirect?to=/echo"), o), StartsWith("GET /echo HTTP/1.1\r\n"));
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 200 OK\r\n"));

  // Across schemes too, with the certificate checks still off.
  EXPECT_THAT(Fetch(servers_.HttpUrl("/redirect?to=" + servers_.HttpsUrl("/echo")), o),
              StartsWith("GET /echo HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(servers_.https_port())));

  o.no_redirect = true;
  EXPECT_EQ(Fetch(servers_.HttpUrl("/redirect?to=/echo"), o), "moved");
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 302 Found\r\n"));
  EXPECT_THAT(headers.str(), HasSubstr("\r\nLocation: /echo\r\n"));

  // A chain of redirections is followed to its end; an endless one ends at
  // the limit as a failed request.
  o.no_redirect = false;
  EXPECT_EQ(Fetch(servers_.HttpUrl("/redirect?to=/redirect%3Fto%3D/nowhere"), o), "no such page");
  headers = "kept";
  EXPECT_EQ(Fetch(servers_.HttpUrl("/loop"), o), "");
  EXPECT_EQ(headers, Text("kept"));
}

TEST_F(RealServer, LongAnswerHeadersComeBackWholeWithTheirCookies) {
  Text headers;
  Text cookies;
  FetchOptions o;
  o.received_headers = &headers;
  o.received_cookies = &cookies;
  EXPECT_EQ(Fetch(servers_.HttpUrl("/big-header"), o), "big");
  EXPECT_GT(TextLength(headers), 6000);
  EXPECT_THAT(headers.str(), HasSubstr("X-Filler: " + std::string(6000, 'x') + "\r\n"));
  EXPECT_EQ(cookies, Text("big=1"));
}

TEST_F(RealServer, FailedRequestsLeaveTheOutArgumentsAlone) {
  CurlLayerSettings quick;
  quick.receive_timeout_s = 1;
  CurlLayer layer(quick);
  const std::string refused = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/";
  for (const std::string& url : {refused, servers_.HttpUrl("/truncated"), servers_.HttpUrl("/stall"),
                                 servers_.HttpUrl("/stall-body")}) {
    Text jar = "a=1";
    Text headers = "kept";
    Text cookies = "kept";
    Bytes body_bytes;
    FetchOptions o;
    o.method = 1;
    o.body_text = "x";
    o.cookies = &jar;
    o.received_headers = &headers;
    o.received_cookies = &cookies;
    o.body_bytes = &body_bytes;
    const double start = testing::MonotonicSeconds();
    EXPECT_TRUE(FetchPage(url, o, layer).empty()) << url;
    EXPECT_LT(testing::MonotonicSeconds() - start, 10) << url;
    EXPECT_EQ(jar, Text("a=1")) << url;
    EXPECT_EQ(headers, Text("kept")) << url;
    EXPECT_EQ(cookies, Text("kept")) << url;
    EXPECT_TRUE(body_bytes.empty()) << url;
  }

  // A body over the layer's limit is not cut short: the request fails.
  CurlLayerSettings small;
  small.max_body_bytes = 2999;
  CurlLayer small_layer(small);
  EXPECT_TRUE(FetchPage(servers_.HttpUrl("/bytes"), {}, small_layer).empty());
  small.max_body_bytes = 3000;
  CurlLayer exact_layer(small);
  EXPECT_EQ(FetchPage(servers_.HttpUrl("/bytes"), {}, exact_layer).size(), 3000);
}

// A server whose queue of connections is full never completes a connection:
// the connect limit ends the request.
TEST(CurlLayerLimits, ConnectingHasATimeLimit) {
  testing::FullListener full;
  ASSERT_NE(full.port(), 0);
  CurlLayerSettings quick;
  quick.connect_timeout_ms = 300;
  CurlLayer layer(quick);
  const double start = testing::MonotonicSeconds();
  EXPECT_TRUE(FetchPage("http://127.0.0.1:" + std::to_string(full.port()) + "/", {}, layer).empty());
  EXPECT_LT(testing::MonotonicSeconds() - start, 5);
}

TEST_F(RealServer, HttpsAcceptsASelfSignedCertificateForAnotherName) {
  const std::string url = servers_.HttpsUrl("/echo");
  EXPECT_THAT(Fetch(url), StartsWith("GET /echo HTTP/1.1\r\n"));

  // The same request with the checks on fails: the server's certificate is
  // one that only switched-off checks let through.
  HttpHandle s = layer_.Open(kAgent, inet::INTERNET_OPEN_TYPE_DIRECT, {}, {}, 0);
  HttpHandle c = layer_.Connect(s, "127.0.0.1", servers_.https_port(), {}, {}, inet::INTERNET_SERVICE_HTTP, 0, 0);
  HttpHandle r = layer_.OpenRequest(c, "GET", "/echo", "HTTP/1.1", {}, inet::INTERNET_FLAG_SECURE, 0);
  EXPECT_FALSE(layer_.Send(r, {}, 0, {}));
  layer_.Close(r);
  layer_.Close(c);
  layer_.Close(s);
}

TEST_F(RealServer, DirectConnectionIgnoresProxyVariables) {
  const std::string unused = "http://127.0.0.1:" + std::to_string(testing::UnusedPort());
  setenv("http_proxy", unused.c_str(), 1);
  setenv("HTTPS_PROXY", unused.c_str(), 1);
  setenv("ALL_PROXY", unused.c_str(), 1);
  const std::string plain = Fetch(servers_.HttpUrl("/echo"));
  const std::string secure = Fetch(servers_.HttpsUrl("/echo"));
  unsetenv("http_proxy");
  unsetenv("HTTPS_PROXY");
  unsetenv("ALL_PROXY");
  EXPECT_THAT(plain, StartsWith("GET /echo HTTP/1.1\r\n"));
  EXPECT_THAT(secure, StartsWith("GET /echo HTTP/1.1\r\n"));
}

TEST_F(RealServer, ProcessLayerServesTheUrlAloneCall) {
  EXPECT_THAT(std::string(FetchPage(servers_.HttpUrl("/echo")).view()), StartsWith("GET /echo HTTP/1.1\r\n"));
}

class ThroughProxy : public RealServer {
 protected:
  ThroughProxy() : RealServer(true) {}
  std::string Proxy() const { return "127.0.0.1:" + std::to_string(servers_.proxy_port()); }
};

TEST_F(ThroughProxy, PlainHttpGoesThroughTheProxy) {
  FetchOptions o;
  o.proxy = Proxy();
  const std::string head = HeadOf(Fetch(servers_.HttpUrl("/echo"), o));
  EXPECT_THAT(head, StartsWith("GET /echo HTTP/1.1\r\n"));
  EXPECT_THAT(head, HasSubstr("\r\nVia: 1.1 "));  // added by the proxy
  EXPECT_THAT(head, HasSubstr("\r\nReferer: " + servers_.HttpUrl("/echo")));
  EXPECT_THAT(HeadOf(Fetch(servers_.HttpUrl("/echo"))), Not(HasSubstr("Via:")));
}

TEST_F(ThroughProxy, HttpsTunnelsThroughTheProxy) {
  FetchOptions o;
  o.proxy = Proxy();
  Text headers;
  o.received_headers = &headers;
  EXPECT_THAT(Fetch(servers_.HttpsUrl("/echo"), o), StartsWith("GET /echo HTTP/1.1\r\n"));
  EXPECT_THAT(headers.str(), StartsWith("HTTP/1.1 200 OK\r\n"));  // the server's answer, not the tunnel's
  EXPECT_THAT(servers_.ProxyLog(), HasSubstr("CONNECT 127.0.0.1:" + std::to_string(servers_.https_port())));
}

// Hands the fatal error box text to standard error as it is, in code page 936.
void ShowBoxRaw(const Text& text, const Text& /*caption*/) {
  std::fwrite(text.c_str(), 1, static_cast<std::size_t>(TextLength(text)), stderr);
}

// The layer binds libcurl by name; a library or function that cannot be
// found ends the program with the binding message.
TEST(CurlLayerBinding, MissingLibraryOrFunctionIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* library;
    const char* function;
  } cases[] = {{"libpl-absent.so.4", "curl_global_init"}, {"libc.so.6", "curl_global_init"}};
  for (const auto& c : cases) {
    const Text message = Concat("无法找到指定DLL库文件“", c.library, "”中的输出命令“", c.function, "”");
    EXPECT_EXIT(
        {
          SetFatalMessageBox(&ShowBoxRaw);
          CurlLayerSettings settings;
          settings.library = c.library;
          CurlLayer layer(settings);
          FetchPage("http://127.0.0.1:9/", {}, layer);
        },
        ::testing::ExitedWithCode(255), HasSubstr(FatalErrorText(0, message, 0, 0).str()))
        << c.library;
  }
}

}  // namespace
}  // namespace pl
