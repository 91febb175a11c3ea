#include <gtest/gtest.h>

#include "web/url.h"

namespace pl {
namespace {

TEST(Url, HostPortAndPath) {
  const struct {
    const char* url;
    const char* host;
    const char* host_with_port;
    int port;
    const char* path;
  } cases[] = {
      {"http://a.example.com/path/x.do?number=14", "a.example.com", "a.example.com", 80, "/path/x.do?number=14"},
      {"HTTPS://A.Example.COM:8443/A/b", "a.example.com", "a.example.com:8443", 8443, "/A/b"},
      {"https://example.com", "example.com", "example.com", 443, "/"},
      {"a.example.com", "a.example.com", "a.example.com", 80, "/"},
      {"a.example.com:8080/a", "a.example.com", "a.example.com:8080", 8080, "/a"},
      {"http://127.0.0.1:8314/getNumber.do?index=5", "127.0.0.1", "127.0.0.1:8314", 8314, "/getNumber.do?index=5"},
      {"http://a.example.com:ab/", "a.example.com", "a.example.com:ab", 0, "/"},
      {"", "", "", 80, "/"},
      {"http://", "", "", 80, "/"},
      // A query or fragment right after the host ends it.
      {"http://example.com?x=1", "example.com", "example.com", 80, "/?x=1"},
      {"HTTP://Host.COM:81#Top", "host.com", "host.com:81", 81, "/#Top"},
      // A scheme counts only at the start; a later one is part of the query.
      {"example.com/go?u=http://example.org/", "example.com", "example.com", 80, "/go?u=http://example.org/"},
      {"https://x.com/a?next=http://y.com/", "x.com", "x.com", 443, "/a?next=http://y.com/"},
      {"host/http://other/", "host", "host", 80, "/http://other/"},
      // The path is looked for after the host, never inside the scheme.
      {"http://t/x", "t", "t", 80, "/x"},
      {"https://s/T/p", "s", "s", 443, "/T/p"},
      // An IPv6 literal's own colons are not a port.
      {"http://[::1]:8080/x", "[::1]", "[::1]:8080", 8080, "/x"},
      {"https://[::1]/", "[::1]", "[::1]", 443, "/"},
      // The port is the URL's first five letters' business alone.
      {"HTTPSserver.com/", "httpsserver.com", "httpsserver.com", 443, "/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostOf(c.url), Text(c.host)) << c.url;
    EXPECT_EQ(HostOf(c.url, false, true), Text(c.host_with_port)) << c.url;
    EXPECT_EQ(PortOf(c.url), c.port) << c.url;
    EXPECT_EQ(PathOf(c.url), Text(c.path)) << c.url;
  }
}

TEST(Url, DomainOnlyKeepsTheLastTwoLabels) {
  EXPECT_EQ(HostOf("http://a.b.example.com/", true), Text("example.com"));
  EXPECT_EQ(HostOf("http://localhost/", true), Text("localhost"));
  EXPECT_EQ(HostOf("http://a.example.com:81/", true, true), Text("example.com:81"));
  EXPECT_EQ(HostOf("http://a.example.com:81/", true), Text("example.com"));
}

TEST(Url, LevelsModeCountsLabelsFromTheEnd) {
  const struct {
    const char* url;
    int levels;
    bool domain_only;
    const char* host;
  } cases[] = {
      {"http://a.b.c.example.com/x", 1, true, "example.com"},
      {"http://a.b.c.example.com/x", 1, false, "c.example.com"},
      {"http://a.b.c.example.com/x", 0, true, "com"},
      {"http://a.b.c.example.com/x", 0, false, "example.com"},
      {"http://a.b.c.example.com/x", -3, true, "com"},
      {"http://a.b.c.example.com/x", 9, true, "a.b.c.example.com"},
      {"http://a.b.c.example.com/x", 9, false, "a.b.c.example.com"},
      {"HTTPS://A.B.Example.COM:81/x", 1, true, "example.com"},
      {"example.com/go?u=http://a.b.example.org/", 1, true, "example.com"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostOf(c.url, c.domain_only, false, c.levels), Text(c.host)) << c.url << " " << c.levels;
  }
  EXPECT_EQ(HostOf("http://a.b.example.com:81/", true, true, 0), Text("com:81"));
}

}  // namespace
}  // namespace pl
