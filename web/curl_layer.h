// curl_layer.h: the HTTP layer on Linux, built on libcurl bound by name.
//
//   pl::CurlLayer layer;                      // binds "libcurl.so.4" on first use
//   pl::Bytes page = pl::FetchPage(url, {}, layer);
//
// libcurl is not linked: the layer opens "libcurl.so.4" and looks up each
// function on its first call; the library stays loaded until the process
// ends. When the library or a function cannot be found, the program ends
// through FatalError(0, "无法找到指定DLL库文件“<library>”中的输出命令“<function>”", 0, 0).
//
// How the request flags and options are carried out:
// - Cookies: without INTERNET_FLAG_NO_COOKIES a request sends and stores the
//   cookies of one in-memory store that lives as long as the layer (for the
//   process's own layer: the process); nothing is written to disk. With the
//   flag it neither sends nor stores any.
// - Redirections are followed (at most CurlLayerSettings::max_redirects)
//   unless INTERNET_FLAG_NO_AUTO_REDIRECT; only http and https are spoken.
// - INTERNET_FLAG_SECURE: https. SECURITY_FLAG_IGNORE_UNKNOWN_CA turns the
//   certificate chain check off, SECURITY_FLAG_IGNORE_CERT_CN_INVALID the
//   host name check.
// - Proxy: the entry of the proxy list for the request's scheme ("http=..."
//   or "https=..."), else an entry without scheme; none, or a direct session,
//   is a direct connection. Proxy environment variables are never used.
// - Time limits: connecting may take connect_timeout_ms; the request fails
//   when no byte arrives for receive_timeout_s seconds.
// - The header block goes out line by line as given; libcurl adds only Host,
//   User-Agent (when the block has none) and Content-Length, never an Accept,
//   Content-Type or Expect line of its own. Lines without a name and colon
//   are not header lines and are not sent.
// - The body is received while Send runs and handed out by Read. A body
//   longer than max_body_bytes, or a header text over 1 MiB, fails the
//   request rather than being cut short.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <variant>

#include "web/http_layer.h"

namespace pl {

struct CurlLayerSettings {
  Text library = "libcurl.so.4";    // another name only to test a failed binding
  long connect_timeout_ms = 60000;  // the time allowed to connect
  long receive_timeout_s = 30;      // the time allowed without a received byte
  long max_redirects = 10;
  int max_body_bytes = 0x7FFFFFFF;  // a longer body fails the request: sizes are 32-bit
};

class CurlLayer final : public HttpLayer {
 public:
  explicit CurlLayer(CurlLayerSettings settings = {});
  ~CurlLayer() override;
  CurlLayer(const CurlLayer&) = delete;
  CurlLayer& operator=(const CurlLayer&) = delete;

  HttpHandle Open(const Text& agent, int access_type, const Text& proxy, const Text& proxy_bypass,
                  std::uint32_t flags) override;
  HttpHandle Connect(HttpHandle session, const Text& host, int port, const Text& user, const Text& password,
                     int service, std::uint32_t flags, std::uintptr_t context) override;
  HttpHandle OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                         const Text& referrer, std::uint32_t flags, std::uintptr_t context) override;
  bool SetOption(HttpHandle request, int option, std::uint32_t value) override;
  bool Send(HttpHandle request, const Text& headers, int headers_length, const Bytes& body) override;
  bool Read(HttpHandle request, std::uint8_t* buffer, int size, int* count) override;
  bool QueryRawHeaders(HttpHandle request, Text* headers) override;
  void Close(HttpHandle handle) override;

  class Api;  // the libcurl functions, bound on first use

 private:
  struct Session {
    Text agent;
    int access_type = 0;
    Text proxy;
    Text proxy_bypass;
  };
  struct Connection {
    Session session;
    Text host;
    int port = 0;
  };
  struct Request {
    Connection connection;
    Text verb;
    Text path;
    Text version;
    std::uint32_t flags = 0;
    std::uint32_t security_flags = 0;
    bool sent = false;
    bool failed = false;  // the answer began but its body did not arrive whole
    Bytes body;
    std::string raw_headers;
    int read_offset = 0;
  };
  using Object = std::variant<Session, Connection, Request>;

  HttpHandle Add(Object object);
  template <class T>
  T* Find(HttpHandle handle);
  void* CookieStore();

  CurlLayerSettings settings_;
  std::unique_ptr<Api> api_;
  bool initialized_ = false;       // libcurl's global set-up done
  void* cookie_store_ = nullptr;  // a libcurl share handle, made on first use
  std::map<int, Object> objects_;
  int next_id_ = 1;
};

}  // namespace pl
