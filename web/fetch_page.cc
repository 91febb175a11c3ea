#include "web/fetch_page.h"

#include <array>

#include "web/cookies.h"
#ifdef _WIN32
#include "web/wininet_layer.h"
#else
#include "web/curl_layer.h"
#endif
#include "web/headers.h"
#include "web/http_layer.h"
#include "web/url.h"

namespace pl {
namespace {

constexpr const char* kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr int kReadSize = 1024;
constexpr std::uint32_t kSecurityFlags =
    inet::SECURITY_FLAG_IGNORE_REVOCATION | inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA |
    inet::SECURITY_FLAG_IGNORE_WRONG_USAGE | inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
    inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | inet::SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS |
    inet::SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP | inet::SECURITY_FLAG_IGNORE_WEAK_SIGNATURE;  // 0x0001F380

enum Method { kGet = 0, kPost = 1 };

// The agent: the default one unless the block names a User-Agent (any case).
// Then the value of the first "User-Agent:" written in exactly that case, or,
// when that gives nothing, the value after the block's first colon.
Text AgentOf(const Text& block) {
  if (FindText(block, "User-Agent:", 1, true) == -1) return kDefaultAgent;
  Text agent = TrimBoth(TextBetween(Concat(block, "\r\n"), "User-Agent:", "\r\n"));
  if (agent.empty()) agent = HeaderValue(block);
  return agent;
}

// The cookies the answer set: the first name=value of each "Set-Cookie: "
// line (name spelled exactly so), in order, joined by "; ".
Text CookiesSetBy(const Text& raw_headers) {
  Text cookies;
  for (const Text& line : SplitText(raw_headers, "\r\n")) {
    if (CompareText(TextBefore(line, ": "), "Set-Cookie") != 0) continue;
    const Text v = FindText(line, ";") != -1 ? TextBetween(line, "Set-Cookie:", ";")
                                             : ReplaceText(line, "Set-Cookie:", false);
    cookies += TrimBoth(v);
    cookies += "; ";
  }
  return TextLeft(cookies, TextLength(cookies) - 2);
}

// Closes the handles of one call, newest first, whichever way it ends.
class CallHandles {
 public:
  explicit CallHandles(HttpLayer& layer) : layer_(layer) {}
  CallHandles(const CallHandles&) = delete;
  CallHandles& operator=(const CallHandles&) = delete;
  ~CallHandles() {
    for (int i = count_ - 1; i >= 0; --i) layer_.Close(handles_[static_cast<std::size_t>(i)]);
  }
  void Hold(HttpHandle h) { handles_[static_cast<std::size_t>(count_++)] = h; }

 private:
  HttpLayer& layer_;
  std::array<HttpHandle, 3> handles_{};
  int count_ = 0;
};

}  // namespace

Bytes FetchPage(const Text& url, const FetchOptions& options) {
#ifdef _WIN32
  static WininetLayer process_layer;
#else
  static CurlLayer process_layer;
#endif
  return FetchPage(url, options, process_layer);
}

Bytes FetchPage(const Text& url, const FetchOptions& options, HttpLayer& layer) {
  Text block = options.normalize_headers ? NormalizeHeaders(options.headers) : options.headers;

  const int method = (options.method < 0 || options.method > 7) ? kGet : options.method;
  const bool secure = ToLower(TextLeft(url, 8)) == Text("https://");
  const bool cookies_supplied = options.cookies != nullptr;
  const Text cookies = cookies_supplied ? *options.cookies : Text();

  Bytes body;
  Text received_headers;
  {
    CallHandles handles(layer);

    HttpHandle session;
    if (options.proxy.empty()) {
      session = layer.Open(AgentOf(block), inet::INTERNET_OPEN_TYPE_DIRECT, {}, {}, 0);
    } else {
      const Text proxy = secure ? options.proxy : Concat("http=", options.proxy);
      session = layer.Open(AgentOf(block), inet::INTERNET_OPEN_TYPE_PROXY, proxy, {}, 0);
    }
    if (!session) return {};
    handles.Hold(session);

    const HttpHandle connection =
        layer.Connect(session, HostOf(url), PortOf(url), {}, {}, inet::INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return {};
    handles.Hold(connection);

    std::uint32_t flags = inet::INTERNET_FLAG_RELOAD | inet::INTERNET_FLAG_NEED_FILE;
    if (cookies_supplied) flags |= inet::INTERNET_FLAG_NO_COOKIES;
    if (options.no_redirect) flags |= inet::INTERNET_FLAG_NO_AUTO_REDIRECT;
    flags |= secure ? inet::INTERNET_FLAG_SECURE : inet::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    const HttpHandle request = layer.OpenRequest(connection, kVerbs[method], PathOf(url), "HTTP/1.1", {}, flags, 0);
    if (!request) return {};
    handles.Hold(request);

    layer.SetOption(request, inet::INTERNET_OPTION_SECURITY_FLAGS, kSecurityFlags);

    if (options.add_default_headers) AddDefaultHeaders(block, url, method == kPost);
    AddCookieLine(block, cookies);

    // A GET carries no body. Otherwise the body bytes, or the body text when
    // they are empty; that converted text is handed back in the caller's
    // body bytes once the request has succeeded.
    Bytes send_body;
    if (method != kGet) {
      send_body = (options.body_bytes && !options.body_bytes->empty()) ? *options.body_bytes
                                                                       : ToBytes(options.body_text);
    }
    if (!layer.Send(request, block, TextLength(block), send_body)) return {};

    std::array<std::uint8_t, kReadSize> buffer{};
    for (;;) {
      int count = 0;
      if (!layer.Read(request, buffer.data(), kReadSize, &count)) return {};
      if (count < 0 || count > kReadSize) return {};
      if (count == 0) break;
      body.Append(buffer.data(), count);
    }
    if (!layer.QueryRawHeaders(request, &received_headers)) received_headers = Text();

    if (method != kGet && options.body_bytes && options.body_bytes->empty()) {
      *options.body_bytes = send_body;
    }
  }  // request, connection and session closed here, in this order

  Text received_cookies = CookiesSetBy(received_headers);
  if (options.merge_cookies && cookies_supplied) {
    received_cookies = MergeCookies(*options.cookies, received_cookies);
  }
  if (options.received_headers) *options.received_headers = received_headers;
  if (options.received_cookies) *options.received_cookies = received_cookies;
  return body;
}

}  // namespace pl
