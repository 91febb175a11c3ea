// The HTTP server on an ephemeral loopback port: answers, keep-alive, the
// limits, bad requests, many clients at once, and stopping.
#include "http_server.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "test_support.h"

namespace pisvc {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

const PiIndex& Million() {
  static const PiIndex index = [] {
    std::string error;
    auto opened = PiIndex::Open(test::MillionDigitsPath(), PiIndex::DefaultPath(test::MillionDigitsPath()), {}, error);
    if (!opened) throw std::runtime_error(error);
    return std::move(*opened);
  }();
  return index;
}

// A server running on its own threads for the length of a test.
class Running {
 public:
  explicit Running(ServerOptions options = {}) {
    options.port = 0;
    std::string error;
    server_ = Server::Create(Million(), options, error);
    if (!server_) throw std::runtime_error(error);
    thread_ = std::thread([this] { server_->Run(); });
  }
  ~Running() { Stop(); }
  void Stop() {
    if (thread_.joinable()) {
      server_->Stop();
      thread_.join();
    }
  }
  std::uint16_t port() const { return server_->port(); }

 private:
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

// A client connection with a receive time-out, so that no test can hang.
class Client {
 public:
  explicit Client(std::uint16_t port) : socket_(ioc_) {
    socket_.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    timeval tv{5, 0};
    setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  http::response<http::string_body> Get(const std::string& target, http::verb verb = http::verb::get) {
    http::request<http::empty_body> req(verb, target, 11);
    req.set(http::field::host, "127.0.0.1");
    http::write(socket_, req);
    http::response_parser<http::string_body> parser;
    parser.skip(verb == http::verb::head);
    parser.body_limit(1 << 20);
    http::read(socket_, buffer_, parser);
    return parser.release();
  }
  void Send(std::string_view bytes) { asio::write(socket_, asio::buffer(bytes.data(), bytes.size())); }
  // Everything until the server closes the connection (or 5 s pass).
  std::string ReadToEnd() {
    std::string all(static_cast<const char*>(buffer_.data().data()), buffer_.data().size());
    buffer_.consume(buffer_.size());
    char chunk[4096];
    for (;;) {
      beast::error_code ec;
      std::size_t n = socket_.read_some(asio::buffer(chunk), ec);
      all.append(chunk, n);
      if (ec) {
        closed_ = ec == asio::error::eof || ec == asio::error::connection_reset;
        return all;
      }
    }
  }
  bool closed() const { return closed_; }

 private:
  asio::io_context ioc_;
  tcp::socket socket_;
  beast::flat_buffer buffer_;
  bool closed_ = false;
};

std::string Between(const std::string& s, const std::string& left, const std::string& right) {
  std::size_t a = s.find(left);
  if (a == std::string::npos) return "";
  a += left.size();
  std::size_t b = s.find(right, a);
  return b == std::string::npos ? "" : s.substr(a, b - a);
}

TEST(Server, AnswersManyRequestsOnOneKeptConnection) {
  Running server;
  Client c(server.port());
  for (int round = 0; round < 3; ++round) {
    auto r = c.Get("/getNextIndex.do?number=926");
    EXPECT_EQ(r.result_int(), 200);
    EXPECT_TRUE(r.keep_alive());
    EXPECT_EQ(r[http::field::content_type], "text/html; charset=utf-8");
    EXPECT_EQ(Between(r.body(), "<strong class=\"text-primary\">", "</strong>"), "5");
    r = c.Get("/getNumber.do?index=762");
    EXPECT_EQ(Between(r.body(), "<strong class = \"text-primary\">", "</strong>"), "9");
    r = c.Get("/api/search?q=999999");
    EXPECT_NE(r.body().find("\"position\":762,"), std::string::npos);
    EXPECT_EQ(r[http::field::access_control_allow_origin], "*");
    r = c.Get("/getNumber.do?index=0");
    EXPECT_EQ(r.result_int(), 400);
    EXPECT_TRUE(r.keep_alive());  // a refused query is still a well-formed request
  }
  auto head = c.Get("/getNumber.do?index=5", http::verb::head);
  EXPECT_EQ(head.result_int(), 200);
  EXPECT_EQ(head.body(), "");
  EXPECT_GT(std::stoul(std::string(head[http::field::content_length])), 100u);
  EXPECT_EQ(c.Get("/").result_int(), 200);  // the connection still serves after HEAD
}

TEST(Server, PipelinedRequestsAreAnsweredInOrder) {
  Running server;
  Client c(server.port());
  c.Send("GET /getNumber.do?index=1 HTTP/1.1\r\nHost: x\r\n\r\n"
         "GET /getNumber.do?index=2 HTTP/1.1\r\nHost: x\r\n\r\n"
         "GET /getNumber.do?index=3 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string all = c.ReadToEnd();
  EXPECT_TRUE(c.closed());
  std::size_t a = all.find("<strong class = \"text-primary\">1<");
  std::size_t b = all.find("<strong class = \"text-primary\">4<");
  std::size_t d = all.find("<strong class = \"text-primary\">1<", a + 1);
  EXPECT_NE(a, std::string::npos);
  EXPECT_NE(b, std::string::npos);  // the second digit is 4
  EXPECT_LT(a, b);
  EXPECT_NE(d, std::string::npos);  // the third digit is 1 again
}

TEST(Server, MalformedRequestsGet400AndAClosedConnection) {
  Running server;
  const std::string cases[] = {
      "GARBAGE\r\n\r\n",
      "GET\r\n\r\n",
      "GET / HTTP/1.1 extra\r\n\r\n",
      "GET / HTTP/x.y\r\nHost: x\r\n\r\n",
      "GET / HTTP/1.1\r\nNo colon here\r\n\r\n",
      "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: abc\r\n\r\n",
      "GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
      std::string("GET /\x01\x02 HTTP/1.1\r\n\r\n"),
      std::string("\0\0\0\0\r\n\r\n", 8),
  };
  for (const std::string& raw : cases) {
    Client c(server.port());
    c.Send(raw);
    const std::string answer = c.ReadToEnd();
    EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 400") << raw;
    EXPECT_TRUE(c.closed()) << raw;
    EXPECT_EQ(answer.find("class=\"text-primary\""), std::string::npos);
  }
  Client after(server.port());
  EXPECT_EQ(after.Get("/getNumber.do?index=5").result_int(), 200);
}

TEST(Server, OversizedRequestsGet431Or414) {
  Running server;
  {
    Client c(server.port());
    c.Send("GET /getNumber.do?index=5 HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(10000, 'a') + "\r\n\r\n");
    const std::string answer = c.ReadToEnd();
    EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 431");
    EXPECT_TRUE(c.closed());
  }
  {
    Client c(server.port());
    c.Send("GET /getNextIndex.do?number=" + std::string(9000, '1') + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(c.ReadToEnd().substr(0, 12), "HTTP/1.1 414");
  }
  {
    Client c(server.port());  // many small headers add up too
    std::string many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 400; ++i) many += "X-H" + std::to_string(i) + ": 12345678901234\r\n";
    c.Send(many + "\r\n");
    EXPECT_EQ(c.ReadToEnd().substr(0, 12), "HTTP/1.1 431");
  }
  {
    Client c(server.port());  // a body over the limit
    c.Send("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'b'));
    EXPECT_EQ(c.ReadToEnd().substr(0, 12), "HTTP/1.1 413");
  }
  // Just under the limit is served.
  Client ok(server.port());
  ok.Send("GET /getNumber.do?index=5 HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(7000, 'a') +
          "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(ok.ReadToEnd().substr(0, 12), "HTTP/1.1 200");
}

// 48 clients at once, each on one kept connection, each checking its answers.
TEST(Server, ManyConcurrentKeepAliveClients) {
  ServerOptions options;
  options.threads = 2;
  Running server(options);
  const std::string& d = test::MillionDigits();
  std::atomic<int> good{0}, bad{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 48; ++t) {
    clients.emplace_back([&, t] {
      try {
        Client c(server.port());
        for (int i = 0; i < 40; ++i) {
          const std::uint64_t place = 1 + (static_cast<std::uint64_t>(t) * 7919 + static_cast<std::uint64_t>(i) * 104729) % 999990;
          auto r = c.Get("/getNumber.do?index=" + std::to_string(place));
          const bool right = r.result_int() == 200 &&
                             Between(r.body(), "<strong class = \"text-primary\">", "</strong>") == d.substr(place - 1, 1);
          auto s = c.Get("/getNextIndex.do?number=" + d.substr(place - 1, 9));
          const bool found = s.result_int() == 200 &&
                             std::stoull("0" + Between(s.body(), "<strong class=\"text-primary\">", "</strong>")) ==
                                 test::NaiveFind(d, d.substr(place - 1, 9));
          (right && found ? good : bad)++;
        }
      } catch (const std::exception&) {
        bad++;
      }
    });
  }
  for (auto& c : clients) c.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(good.load(), 48 * 40);
}

TEST(Server, IdleAndHalfSentConnectionsAreClosed) {
  ServerOptions options;
  options.idle_timeout = 300ms;
  Running server(options);
  Client idle(server.port());
  Client slow(server.port());
  slow.Send("GET /getNumber.do?index=5 HTTP/1.1\r\nHo");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(idle.ReadToEnd(), "");
  EXPECT_TRUE(idle.closed());
  EXPECT_EQ(slow.ReadToEnd(), "");
  EXPECT_TRUE(slow.closed());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);  // closed by the server, not the 5 s client limit
  // A connection that keeps asking stays open across the time-out.
  Client busy(server.port());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(busy.Get("/getNumber.do?index=5").result_int(), 200);
    std::this_thread::sleep_for(150ms);
  }
}

TEST(Server, ConnectionsBeyondTheMostGet503) {
  ServerOptions options;
  options.max_connections = 2;
  Running server(options);
  auto a = std::make_unique<Client>(server.port());
  Client b(server.port());
  EXPECT_EQ(a->Get("/getNumber.do?index=1").result_int(), 200);
  EXPECT_EQ(b.Get("/getNumber.do?index=1").result_int(), 200);
  {
    Client c(server.port());
    EXPECT_EQ(c.ReadToEnd().substr(0, 12), "HTTP/1.1 503");
  }
  // Once one closes, a new one is served again.
  a.reset();
  for (int attempt = 0; attempt < 50; ++attempt) {
    Client d(server.port());
    d.Send("GET /getNumber.do?index=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    if (d.ReadToEnd().substr(0, 12) == "HTTP/1.1 200") return;
    std::this_thread::sleep_for(20ms);
  }
  ADD_FAILURE() << "no connection was served after one closed";
}

TEST(Server, StopClosesOpenConnectionsAndReturns) {
  auto server = std::make_unique<Running>();
  Client c(server->port());
  EXPECT_EQ(c.Get("/").result_int(), 200);
  const auto start = std::chrono::steady_clock::now();
  server->Stop();  // joins Run()
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(c.ReadToEnd(), "");
  EXPECT_TRUE(c.closed());
}

TEST(ParseListen, Forms) {
  struct Case {
    const char* text;
    bool ok;
    const char* address;
    unsigned port;
  };
  const Case cases[] = {
      {"127.0.0.1:8314", true, "127.0.0.1", 8314}, {"[::1]:80", true, "::1", 80},
      {"localhost:0", true, "127.0.0.1", 0},       {"127.0.0.1", false, "", 0},
      {"127.0.0.1:", false, "", 0},                {":8314", false, "", 0},
      {"127.0.0.1:65536", false, "", 0},           {"127.0.0.1:8x", false, "", 0},
      {"::1:80", false, "", 0},                    {"[::1]80", false, "", 0},
  };
  for (const Case& c : cases) {
    std::string address;
    std::uint16_t port = 1;
    EXPECT_EQ(ParseListen(c.text, address, port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(address, c.address);
      EXPECT_EQ(port, c.port);
    }
  }
}

// The program itself: builds the index of a fresh file, says where it
// listens, answers, and ends cleanly on SIGTERM.
TEST(Program, ServesAndStopsOnSigterm) {
  test::TempDir dir;
  const std::string digits = dir.File("pi.txt");
  test::WriteFile(digits, test::MillionDigits().substr(0, 50000));
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(PI_SERVICE_EXE, PI_SERVICE_EXE, "--digits", digits.c_str(), "--listen", "127.0.0.1:0", "--threads", "2",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::FILE* from = fdopen(out[0], "r");
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, from), nullptr);
  unsigned port = 0;
  ASSERT_EQ(std::sscanf(line, "pi-service: listening on http://127.0.0.1:%u/", &port), 1) << line;
  {
    Client c(static_cast<std::uint16_t>(port));
    auto r = c.Get("/getNextIndex.do?number=926");
    EXPECT_EQ(Between(r.body(), "<strong class=\"text-primary\">", "</strong>"), "5");
    EXPECT_TRUE(std::filesystem::exists(digits + ".idx"));
    kill(pid, SIGTERM);
    EXPECT_EQ(c.ReadToEnd(), "");
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::fclose(from);
}

TEST(Program, RefusesBadOptions) {
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const Case cases[] = {
      {{"--listen", "nowhere"}, 2},
      {{"--threads", "0"}, 2},
      {{"--bogus"}, 2},
      {{"--digits", "/nonexistent/pi.txt", "--listen", "127.0.0.1:0"}, 1},
  };
  for (const Case& c : cases) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::freopen("/dev/null", "w", stderr);
      std::vector<char*> argv{const_cast<char*>(PI_SERVICE_EXE)};
      for (const auto& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(PI_SERVICE_EXE, argv.data());
      _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.code) << c.args[0];
  }
}

}  // namespace
}  // namespace pisvc
