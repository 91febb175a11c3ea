#include "tests/test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <time.h>
#include <vector>

extern char** environ;

namespace pl::testing {

// <chrono> cannot be compiled with the project's code page 936 literals (it
// holds a micro sign), so time is read from the monotonic clock directly.
double MonotonicSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

namespace {

constexpr int kReadyTimeoutMs = 20000;

// One line from fd within the time limit; empty on time-out or end of input.
std::string ReadLine(int fd, int timeout_ms) {
  std::string line;
  const double deadline = MonotonicSeconds() + timeout_ms / 1000.0;
  while (true) {
    const int left_ms = static_cast<int>((deadline - MonotonicSeconds()) * 1000);
    if (left_ms <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left_ms) <= 0) return {};
    char c;
    if (read(fd, &c, 1) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

TestServers::TestServers(bool with_proxy) {
  char pattern[] = "/tmp/pl-web-test-XXXXXX";
  if (!mkdtemp(pattern)) {
    error_ = "mkdtemp failed";
    return;
  }
  dir_ = pattern;

  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<std::string> args = {"python3", PL_WEB_TEST_SERVER, dir_};
  if (with_proxy) args.push_back("--proxy");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    error_ = "cannot start python3";
    return;
  }
  const std::string line = ReadLine(out[0], kReadyTimeoutMs);
  close(out[0]);
  int http = 0, https = 0, proxy = 0;
  if (std::sscanf(line.c_str(), "READY %d %d %d", &http, &https, &proxy) != 3) {
    error_ = "test servers did not get ready: '" + line + "'";
    return;
  }
  http_port_ = http;
  https_port_ = https;
  proxy_port_ = proxy;
}

TestServers::~TestServers() {
  if (input_ != -1) close(input_);
  if (pid_ > 0) {
    const double deadline = MonotonicSeconds() + 5;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (MonotonicSeconds() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      usleep(10000);
    }
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

std::string TestServers::HttpUrl(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(http_port_) + path;
}

std::string TestServers::HttpsUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(https_port_) + path;
}

std::string TestServers::ProxyLog() const {
  std::ifstream in(dir_ + "/tinyproxy.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

FullListener::FullListener() {
  for (int& f : fillers_) f = -1;
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 0) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    return;
  }
  // Connections the kernel completes for the queue; once it is full, the
  // next attempts stay unanswered.
  for (int& f : fillers_) {
    f = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  usleep(100000);
  port_ = ntohs(a.sin_port);
}

FullListener::~FullListener() {
  for (int f : fillers_) {
    if (f != -1) close(f);
  }
  if (listener_ != -1) close(listener_);
}

int UnusedPort() {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  close(s);
  return port;
}

}  // namespace pl::testing
