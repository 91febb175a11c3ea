// winsock_server.h: a tiny HTTP server on 127.0.0.1 for the tests built for
// Windows (the Windows Internet API and the window against a real socket).
// Each request is answered with the bytes that the answer function returns
// for the raw request (status line, headers and body as they are), after
// which the connection closes. It serves on a thread of its own, at most 64
// connections, and stops by itself after 60 seconds.
//
//   pl::testing::WinsockServer server([](const std::string& request) {
//     return std::string("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
//   });
//   pl::FetchPage(pl::Text(server.base_address() + "x"));
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pl::testing {

class WinsockServer {
 public:
  using Answer = std::function<std::string(const std::string& request)>;
  explicit WinsockServer(Answer answer);
  ~WinsockServer();
  WinsockServer(const WinsockServer&) = delete;
  WinsockServer& operator=(const WinsockServer&) = delete;

  int port() const;
  std::string base_address() const;      // "http://127.0.0.1:PORT/"
  std::vector<std::string> requests() const;  // each raw request, head and body

  // A loopback port that nothing listens on (bound and closed again).
  static int UnusedPort();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A whole answer: status line, the header lines given (each without CR LF),
// a Content-Length line and the body.
std::string HttpAnswer(const std::string& status, const std::vector<std::string>& headers, const std::string& body);

}  // namespace pl::testing
