// loopback_server.h: a tiny HTTP server on 127.0.0.1 for the window's
// end-to-end tests. It answers every request with one fixed UTF-8 page and
// records the request lines. It runs on a thread of its own (the window's
// thread blocks while it waits for the answer), serves at most 32
// connections and stops by itself after 30 seconds.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pl::testing {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string page);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string base_address() const;  // "http://127.0.0.1:PORT/"
  std::vector<std::string> request_lines() const;

  // A loopback port that nothing listens on (bound, read and closed again).
  static int UnusedPort();

 private:
  void Serve();

  std::string page_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace pl::testing
