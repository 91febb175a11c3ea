// http_server.h: the service's HTTP/1.1 server, asynchronous on a pool of
// threads, answering through Answer() (pages.h).
//
//   pisvc::ServerOptions o;
//   o.port = 0;                           // any free port
//   std::string error;
//   auto server = pisvc::Server::Create(index, o, error);
//   std::thread t([&] { server->Run(); });
//   ... server->port() ...
//   server->Stop();                       // from any thread, or a signal handler's strand
//   t.join();
//
// Every resource is bounded: a request line and headers of at most 8 KiB
// (431, or 414 when the request line alone is longer), a body of at most
// 16 KiB, an idle time-out after which a quiet connection is closed, and a
// most number of open connections (more are answered 503 and closed).
// Malformed requests get 400 and the connection is closed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "pi_index.h"

namespace pisvc {

struct ServerOptions {
  std::string address = "127.0.0.1";
  std::uint16_t port = 8314;
  int threads = 2;
  int max_connections = 10000;
  std::chrono::milliseconds idle_timeout{std::chrono::seconds(30)};
};

// The parts of "--listen HOST:PORT" ("127.0.0.1:8314", "[::1]:8314",
// "localhost:0"); false when it is not of that form.
bool ParseListen(const std::string& text, std::string& address, std::uint16_t& port);

class Server {
 public:
  // Binds and listens; nullptr with `error` set when that fails.
  static std::unique_ptr<Server> Create(const PiIndex& index, const ServerOptions& options, std::string& error);
  ~Server();

  // The port actually bound (the one chosen by the system for port 0).
  std::uint16_t port() const;
  // Serves on options.threads threads (this one among them) until Stop().
  void Run();
  // Stops accepting, closes every connection and makes Run() return.
  void Stop();
  // SIGINT and SIGTERM call Stop(); for the program, not for tests.
  void StopOnSignals();

  struct Impl;

 private:
  explicit Server(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace pisvc
