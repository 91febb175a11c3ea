#include "web/tests/winsock_server.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace pl::testing {

namespace {

constexpr int kMaxConnections = 64;
constexpr auto kLifetime = std::chrono::seconds(60);
constexpr std::size_t kMaxRequestBytes = 1 << 20;

// Winsock is started once for the process and left running.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) std::abort();
}

SOCKET BoundLoopbackSocket(int* port) {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) std::abort();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return s;
}

// The request's head and as much body as its Content-Length names.
std::string ReadRequest(SOCKET client) {
  std::string request;
  char buffer[4096];
  std::size_t wanted = std::string::npos;
  while (request.size() < kMaxRequestBytes && (wanted == std::string::npos || request.size() < wanted)) {
    const int n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
    const std::size_t head_end = request.find("\r\n\r\n");
    if (wanted == std::string::npos && head_end != std::string::npos) {
      std::size_t body = 0;
      std::string head = request.substr(0, head_end);
      for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::size_t at = head.find("\r\ncontent-length:");
      if (at != std::string::npos) body = std::strtoul(head.c_str() + at + 17, nullptr, 10);
      wanted = head_end + 4 + body;
    }
  }
  return request;
}

}  // namespace

struct WinsockServer::Impl {
  Answer answer;
  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  std::atomic<bool> stop{false};
  mutable std::mutex mutex;
  std::vector<std::string> requests;
  std::thread thread;

  void Serve() {
    const auto end = std::chrono::steady_clock::now() + kLifetime;
    for (int served = 0; served < kMaxConnections && !stop && std::chrono::steady_clock::now() < end;) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener, &ready);
      timeval wait{0, 100000};
      if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
      SOCKET client = accept(listener, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      ++served;
      DWORD timeout_ms = 10000;
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms), sizeof timeout_ms);
      const std::string request = ReadRequest(client);
      {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(request);
      }
      const std::string reply = answer(request);
      for (std::size_t sent = 0; sent < reply.size();) {
        const int n = send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      shutdown(client, SD_BOTH);
      closesocket(client);
    }
  }
};

WinsockServer::WinsockServer(Answer answer) : impl_(std::make_unique<Impl>()) {
  impl_->answer = std::move(answer);
  impl_->listener = BoundLoopbackSocket(&impl_->port);
  if (listen(impl_->listener, 16) != 0) std::abort();
  impl_->thread = std::thread([this] { impl_->Serve(); });
}

WinsockServer::~WinsockServer() {
  impl_->stop = true;
  impl_->thread.join();
  closesocket(impl_->listener);
}

int WinsockServer::port() const { return impl_->port; }

std::string WinsockServer::base_address() const { return "http://127.0.0.1:" + std::to_string(impl_->port) + "/"; }

std::vector<std::string> WinsockServer::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests;
}

int WinsockServer::UnusedPort() {
  int port = 0;
  SOCKET s = BoundLoopbackSocket(&port);
  closesocket(s);
  return port;
}

std::string HttpAnswer(const std::string& status, const std::vector<std::string>& headers, const std::string& body) {
  std::string answer = "HTTP/1.1 " + status + "\r\n";
  for (const std::string& line : headers) answer += line + "\r\n";
  answer += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  return answer + body;
}

}  // namespace pl::testing
