#include "http_server.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>  // Boost 1.74's Asio uses std::exchange without including it
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "pages.h"

namespace pisvc {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr std::uint32_t kHeaderLimit = 8192;
constexpr std::uint64_t kBodyLimit = 16384;
// Connections refused with 503 at one time; beyond this they are just closed.
constexpr int kMaxRefusing = 64;

class Session;

}  // namespace

struct Server::Impl {
  Impl(const PiIndex& i, const ServerOptions& o)
      : index(i), options(o), strand(asio::make_strand(ioc)), acceptor(strand), retry(strand) {}

  void Accept();
  void StopNow();
  void Register(Session* s, std::weak_ptr<Session> w) {
    std::lock_guard lock(mutex);
    sessions.emplace(s, std::move(w));
  }
  void Unregister(Session* s) {
    std::lock_guard lock(mutex);
    sessions.erase(s);
  }

  // Declared before the io_context: its destruction destroys the sessions
  // still held by queued handlers, and they unregister here.
  const PiIndex& index;
  ServerOptions options;
  std::uint16_t port = 0;
  std::atomic<int> open{0};
  std::atomic<int> refusing{0};
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::unordered_map<Session*, std::weak_ptr<Session>> sessions;

  asio::io_context ioc;
  // The acceptor, its retry timer, the signals and StopNow() all run on this
  // strand, one at a time.
  asio::strand<asio::io_context::executor_type> strand;
  tcp::acceptor acceptor;
  asio::steady_timer retry;
  std::optional<asio::signal_set> signals;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket&& socket, Server::Impl& server, bool refuse)
      : stream_(std::move(socket)), server_(server), refuse_(refuse) {
    (refuse_ ? server_.refusing : server_.open).fetch_add(1);
  }
  ~Session() {
    if (!refuse_) server_.Unregister(this);
    (refuse_ ? server_.refusing : server_.open).fetch_sub(1);
  }

  void Start() {
    if (!refuse_) server_.Register(this, weak_from_this());
    beast::error_code ignored;
    stream_.socket().set_option(tcp::no_delay(true), ignored);
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      if (self->refuse_) {
        self->Fail(503);
      } else {
        self->Read();
      }
    });
  }

  // From any thread: ends the connection on its own strand.
  void Shut() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->Close(); });
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(kBodyLimit);
    stream_.expires_after(server_.options.idle_timeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnRead(ec); });
  }

  void OnRead(beast::error_code ec) {
    if (ec) {
      if (ec.category() == beast::http::make_error_code(http::error::bad_target).category() &&
          ec != http::error::end_of_stream) {
        if (ec == http::error::header_limit) return Fail(RequestLineTooLong() ? 414 : 431);
        if (ec == http::error::body_limit) return Fail(413);
        if (ec == http::error::partial_message) return Close();  // the peer left mid-request
        return Fail(400);
      }
      if (ec == asio::error::message_size) return Fail(431);  // the read buffer is full
      return Close();  // end of stream, time-out, reset, or the server stopping
    }
    const auto& req = parser_->get();
    const bool head = req.method() == http::verb::head;
    const auto method = req.method_string();
    const auto target = req.target();
    Reply reply = Answer(server_.index, std::string_view(method.data(), method.size()),
                         std::string_view(target.data(), target.size()));
    Respond(std::move(reply), req.version(), req.keep_alive() && !server_.stopping.load(), head);
  }

  // The parser takes the request line apart before the header fields, so
  // when the limit is hit without a target, the request line alone was over.
  bool RequestLineTooLong() const { return parser_->get().target().empty(); }

  void Respond(Reply reply, unsigned version, bool keep_alive, bool head) {
    res_ = {};
    res_.version(version);
    res_.result(reply.status);
    res_.set(http::field::server, "pi-service");
    if (!reply.content_type.empty()) res_.set(http::field::content_type, reply.content_type);
    if (reply.cross_origin) res_.set(http::field::access_control_allow_origin, "*");
    if (!reply.allow.empty()) {
      res_.set(http::field::allow, reply.allow);
      if (reply.status == 204) {
        res_.set(http::field::access_control_allow_methods, reply.allow);
        res_.set(http::field::access_control_allow_headers, "*");
        res_.set(http::field::access_control_max_age, "86400");
      }
    }
    res_.keep_alive(keep_alive);
    const std::size_t size = reply.body.size();
    if (reply.status != 204) {
      if (!head) res_.body() = std::move(reply.body);
      res_.content_length(size);
    }
    stream_.expires_after(server_.options.idle_timeout);
    http::async_write(stream_, res_, [self = shared_from_this(), keep_alive](beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      if (!keep_alive) return self->Linger();
      self->Read();
    });
  }

  // Answers a request that cannot be served and closes the connection.
  void Fail(unsigned status) { Respond(ProtocolError(server_.index, status), 11, false, false); }

  // After the last answer: no more sending, and what the peer still sends
  // is read and dropped for a moment, so that closing does not reset the
  // connection before the peer has read the answer.
  void Linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(std::chrono::seconds(1));
    Drain();
  }

  void Drain() {
    stream_.async_read_some(asio::buffer(drain_), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
      self->drained_ += n;
      if (ec || self->drained_ > (1u << 20)) return self->Close();
      self->Drain();
    });
  }

  void Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  beast::tcp_stream stream_;
  Server::Impl& server_;
  bool refuse_;
  beast::flat_buffer buffer_{64 * 1024};
  std::optional<http::request_parser<http::string_body>> parser_;
  http::response<http::string_body> res_;
  char drain_[4096];
  std::size_t drained_ = 0;
};

}  // namespace

void Server::Impl::Accept() {
  acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || stopping.load() || !acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors or a passing network error: try again shortly
      // rather than spinning.
      retry.expires_after(std::chrono::milliseconds(50));
      retry.async_wait([this](beast::error_code e) {
        if (!e) Accept();
      });
      return;
    }
    if (open.load() < options.max_connections) {
      std::make_shared<Session>(std::move(socket), *this, false)->Start();
    } else if (refusing.load() < kMaxRefusing) {
      std::make_shared<Session>(std::move(socket), *this, true)->Start();
    }  // else the socket closes here
    Accept();
  });
}

void Server::Impl::StopNow() {
  if (stopping.exchange(true)) return;
  beast::error_code ignored;
  acceptor.close(ignored);
  retry.cancel();
  if (signals) signals->cancel(ignored);
  std::vector<std::shared_ptr<Session>> live;
  {
    std::lock_guard lock(mutex);
    for (auto& [ptr, weak] : sessions) {
      if (auto s = weak.lock()) live.push_back(std::move(s));
    }
  }
  for (auto& s : live) s->Shut();
}

bool ParseListen(const std::string& text, std::string& address, std::uint16_t& port) {
  std::string host, port_text;
  if (!text.empty() && text[0] == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
    host = text.substr(1, close - 1);
    port_text = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || text.find(':') != colon) return false;
    host = text.substr(0, colon);
    port_text = text.substr(colon + 1);
  }
  if (host.empty() || port_text.empty() || port_text.size() > 5) return false;
  unsigned value = 0;
  for (char c : port_text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return false;
  address = host == "localhost" ? "127.0.0.1" : host;
  port = static_cast<std::uint16_t>(value);
  return true;
}

std::unique_ptr<Server> Server::Create(const PiIndex& index, const ServerOptions& options, std::string& error) {
  auto impl = std::make_unique<Impl>(index, options);
  impl->options.threads = std::max(1, options.threads);
  impl->options.max_connections = std::max(1, options.max_connections);
  beast::error_code ec;
  const auto address = asio::ip::make_address(options.address, ec);
  if (ec) {
    error = "not an IP address: " + options.address;
    return nullptr;
  }
  const tcp::endpoint endpoint(address, options.port);
  impl->acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl->acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) impl->acceptor.bind(endpoint, ec);
  if (!ec) impl->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = "cannot listen on " + options.address + ":" + std::to_string(options.port) + ": " + ec.message();
    return nullptr;
  }
  impl->port = impl->acceptor.local_endpoint(ec).port();
  return std::unique_ptr<Server>(new Server(std::move(impl)));
}

Server::Server(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Server::~Server() {
  // Run() has returned by now (or never ran): nothing else touches Impl.
  impl_->StopNow();
}

std::uint16_t Server::port() const { return impl_->port; }

void Server::Run() {
  asio::post(impl_->strand, [impl = impl_.get()] {
    if (!impl->stopping.load()) impl->Accept();
  });
  std::vector<std::thread> pool;
  for (int t = 1; t < impl_->options.threads; ++t) pool.emplace_back([this] { impl_->ioc.run(); });
  impl_->ioc.run();
  for (auto& th : pool) th.join();
}

void Server::Stop() {
  asio::post(impl_->strand, [impl = impl_.get()] { impl->StopNow(); });
}

void Server::StopOnSignals() {
  impl_->signals.emplace(impl_->strand, SIGINT, SIGTERM);
  impl_->signals->async_wait([impl = impl_.get()](beast::error_code ec, int) {
    if (!ec) impl->StopNow();
  });
}

}  // namespace pisvc
