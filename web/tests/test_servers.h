// test_servers.h: the test servers of test_server.py, started for one test.
//
//   pl::testing::TestServers servers(/*with_proxy=*/false);
//   ASSERT_TRUE(servers.ready()) << servers.error();
//   std::string url = servers.HttpUrl("/echo");
//
// The servers listen on 127.0.0.1 ephemeral ports. They stop when this object
// goes (their standard input is closed; after 5 seconds they are killed), and
// also when the test process ends in any way, which closes that input too.
#pragma once

#include <sys/types.h>

#include <string>

namespace pl::testing {

class TestServers {
 public:
  explicit TestServers(bool with_proxy);
  ~TestServers();
  TestServers(const TestServers&) = delete;
  TestServers& operator=(const TestServers&) = delete;

  bool ready() const { return http_port_ != 0; }
  const std::string& error() const { return error_; }
  int http_port() const { return http_port_; }
  int https_port() const { return https_port_; }
  int proxy_port() const { return proxy_port_; }
  std::string HttpUrl(const std::string& path) const;
  std::string HttpsUrl(const std::string& path) const;
  // The proxy's log of connections, for checking that a request went through.
  std::string ProxyLog() const;

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int input_ = -1;  // the servers' standard input
  int http_port_ = 0;
  int https_port_ = 0;
  int proxy_port_ = 0;
  std::string error_;
};

// A socket on 127.0.0.1 that listens but never accepts, its queue filled,
// so that a further connection attempt is never completed.
class FullListener {
 public:
  FullListener();
  ~FullListener();
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int fillers_[8];
  int port_ = 0;
};

// Seconds on a clock that only goes forward.
double MonotonicSeconds();

// A port on 127.0.0.1 on which nothing listens (bound, then released).
int UnusedPort();

}  // namespace pl::testing
