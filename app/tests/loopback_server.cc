#include "app/tests/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace pl::testing {
namespace {

constexpr int kMaxConnections = 32;
constexpr auto kLifetime = std::chrono::seconds(30);

int BoundLoopbackSocket(int* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    std::perror("socket");
    std::abort();
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::perror("bind");
    std::abort();
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

void SendAll(int fd, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

LoopbackServer::LoopbackServer(std::string page) : page_(std::move(page)) {
  listener_ = BoundLoopbackSocket(&port_);
  if (::listen(listener_, 8) != 0) {
    std::perror("listen");
    std::abort();
  }
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LoopbackServer::base_address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

std::vector<std::string> LoopbackServer::request_lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int LoopbackServer::UnusedPort() {
  int port = 0;
  int fd = BoundLoopbackSocket(&port);
  ::close(fd);
  return port;
}

void LoopbackServer::Serve() {
  const auto deadline = std::chrono::steady_clock::now() + kLifetime;
  int served = 0;
  while (!stop_ && served < kMaxConnections && std::chrono::steady_clock::now() < deadline) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ++served;
    timeval timeout{2, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request.substr(0, request.find("\r\n")));
    }
    SendAll(client,
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                std::to_string(page_.size()) + "\r\nConnection: close\r\n\r\n" + page_);
    ::close(client);
  }
}

}  // namespace pl::testing
