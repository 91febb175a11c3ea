#include "web/curl_layer.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <time.h>

#include <algorithm>
#include <cstring>

namespace pl {

// The libcurl functions the layer uses, each looked up by name on its first
// call and kept for the life of the table.
class CurlLayer::Api {
 public:
  explicit Api(Text library) : library_(std::move(library)) {}
  Api(const Api&) = delete;
  Api& operator=(const Api&) = delete;

  CURLcode global_init(long flags) { return Bind(global_init_, "curl_global_init")(flags); }
  CURL* easy_init() { return Bind(easy_init_, "curl_easy_init")(); }
  template <class Value>
  CURLcode easy_setopt(CURL* easy, CURLoption option, Value value) {
    return Bind(easy_setopt_, "curl_easy_setopt")(easy, option, value);
  }
  CURLcode easy_perform(CURL* easy) { return Bind(easy_perform_, "curl_easy_perform")(easy); }
  CURLcode easy_getinfo(CURL* easy, CURLINFO info, long* value) {
    return Bind(easy_getinfo_, "curl_easy_getinfo")(easy, info, value);
  }
  void easy_cleanup(CURL* easy) { Bind(easy_cleanup_, "curl_easy_cleanup")(easy); }
  curl_slist* slist_append(curl_slist* list, const char* line) {
    return Bind(slist_append_, "curl_slist_append")(list, line);
  }
  void slist_free_all(curl_slist* list) { Bind(slist_free_all_, "curl_slist_free_all")(list); }
  CURLSH* share_init() { return Bind(share_init_, "curl_share_init")(); }
  CURLSHcode share_setopt(CURLSH* share, CURLSHoption option, long value) {
    return Bind(share_setopt_, "curl_share_setopt")(share, option, value);
  }
  void share_cleanup(CURLSH* share) { Bind(share_cleanup_, "curl_share_cleanup")(share); }

 private:
  template <class Fn>
  Fn Bind(Fn& slot, const char* name) {
    if (slot) return slot;
    // The library is never closed: what libcurl and its TLS library set up
    // for the process stays valid until the process ends.
    if (!library_handle_) library_handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* address = library_handle_ ? dlsym(library_handle_, name) : nullptr;
    if (!address) FatalError(0, Concat("无法找到指定DLL库文件“", library_, "”中的输出命令“", name, "”"), 0, 0);
    slot = reinterpret_cast<Fn>(address);
    return slot;
  }

  Text library_;
  void* library_handle_ = nullptr;
  CURLcode (*global_init_)(long) = nullptr;
  CURL* (*easy_init_)() = nullptr;
  CURLcode (*easy_setopt_)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easy_perform_)(CURL*) = nullptr;
  CURLcode (*easy_getinfo_)(CURL*, CURLINFO, ...) = nullptr;
  void (*easy_cleanup_)(CURL*) = nullptr;
  curl_slist* (*slist_append_)(curl_slist*, const char*) = nullptr;
  void (*slist_free_all_)(curl_slist*) = nullptr;
  CURLSH* (*share_init_)() = nullptr;
  CURLSHcode (*share_setopt_)(CURLSH*, CURLSHoption, ...) = nullptr;
  void (*share_cleanup_)(CURLSH*) = nullptr;
};

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(a) == lower(b);
  });
}

// The proxy list entry for a scheme: "scheme=host:port", else the first entry
// without "=", else none (empty).
std::string ProxyFor(const Text& list, std::string_view scheme) {
  std::string plain;
  std::string_view rest = list.view();
  while (!rest.empty()) {
    const std::size_t skip = rest.find_first_not_of("; ");
    if (skip == std::string_view::npos) break;
    rest.remove_prefix(skip);
    const std::size_t end = std::min(rest.find_first_of("; "), rest.size());
    const std::string_view entry = rest.substr(0, end);
    rest.remove_prefix(end);
    const std::size_t eq = entry.find('=');
    if (eq == std::string_view::npos) {
      if (plain.empty()) plain = std::string(entry);
    } else if (entry.substr(0, eq).size() == scheme.size() && StartsWithIgnoringCase(entry, scheme)) {
      return std::string(entry.substr(eq + 1));
    }
  }
  return plain;
}

// The header block as libcurl header lines, each line as given. An empty
// value is written "Name;", libcurl's form for a header sent without value
// ("Name:" alone would tell libcurl to drop its own header of that name).
class HeaderList {
 public:
  explicit HeaderList(CurlLayer::Api& api) : api_(api) {}
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() {
    if (list_) api_.slist_free_all(list_);
  }

  void AddBlock(std::string_view block) {
    while (!block.empty()) {
      const std::size_t end = std::min(block.find("\r\n"), block.size());
      AddLine(block.substr(0, end));
      block.remove_prefix(std::min(end + 2, block.size()));
    }
  }
  // Keeps libcurl from adding a header of its own under this name.
  void Suppress(std::string_view name) {
    if (!Has(name)) Append(std::string(name) + ":");
  }
  curl_slist* get() const { return list_; }

 private:
  void AddLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return;
    names_.emplace_back(line.substr(0, colon));
    const std::string_view value = line.substr(colon + 1);
    if (value.find_first_not_of(' ') == std::string_view::npos) {
      Append(std::string(line.substr(0, colon)) + ";");
    } else {
      Append(std::string(line));
    }
  }
  bool Has(std::string_view name) const {
    return std::any_of(names_.begin(), names_.end(), [&](const std::string& n) {
      return n.size() == name.size() && StartsWithIgnoringCase(n, name);
    });
  }
  void Append(const std::string& line) {
    curl_slist* grown = api_.slist_append(list_, line.c_str());
    if (grown) list_ = grown;
  }

  CurlLayer::Api& api_;
  curl_slist* list_ = nullptr;
  std::vector<std::string> names_;
};

// An answer's header text may be this long; any longer is no answer.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;

double MonotonicSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// One transfer's received data and its idle clock: the time since the
// connection was made or a byte last moved. Connecting has a limit of its own.
struct Transfer {
  Bytes* body;
  std::string* raw_headers;
  double idle_limit_s;
  int max_body;
  bool connected = false;
  double last_activity = 0;
  curl_off_t last_received = 0;
  curl_off_t last_sent = 0;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t n = size * count;
  Transfer& t = *static_cast<Transfer*>(user);
  if (n > static_cast<std::size_t>(t.max_body - t.body->size())) return 0;  // ends the transfer as failed
  t.body->Append(reinterpret_cast<const std::uint8_t*>(data), static_cast<int>(n));
  t.last_activity = MonotonicSeconds();
  return n;
}

int OnConnected(void* user, char*, char*, int, int) {
  Transfer& t = *static_cast<Transfer*>(user);
  t.connected = true;
  t.last_activity = MonotonicSeconds();
  return CURL_PREREQFUNC_OK;
}

// Called by libcurl at least once a second; a nonzero result ends the
// transfer.
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  Transfer& t = *static_cast<Transfer*>(user);
  const double now = MonotonicSeconds();
  if (received != t.last_received || sent != t.last_sent) {
    t.last_received = received;
    t.last_sent = sent;
    t.last_activity = now;
  }
  return (t.connected && now - t.last_activity > t.idle_limit_s) ? 1 : 0;
}

// Keeps the header lines of the last answer only: a status line starts a new
// answer (after a followed redirection or a "100 Continue").
std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t n = size * count;
  Transfer& t = *static_cast<Transfer*>(user);
  t.last_activity = MonotonicSeconds();
  std::string& raw = *t.raw_headers;
  const std::string_view line(data, n);
  if (line.substr(0, 5) == "HTTP/") raw.clear();
  if (raw.size() + n > kMaxHeaderBytes) return 0;  // ends the transfer as failed
  raw.append(line);
  return n;
}

}  // namespace

CurlLayer::CurlLayer(CurlLayerSettings settings)
    : settings_(std::move(settings)), api_(std::make_unique<Api>(settings_.library)) {}

CurlLayer::~CurlLayer() {
  if (cookie_store_) api_->share_cleanup(static_cast<CURLSH*>(cookie_store_));
}

HttpHandle CurlLayer::Add(Object object) {
  const int id = next_id_++;
  objects_.emplace(id, std::move(object));
  return HttpHandle{id};
}

template <class T>
T* CurlLayer::Find(HttpHandle handle) {
  const auto it = objects_.find(handle.id);
  return it == objects_.end() ? nullptr : std::get_if<T>(&it->second);
}

void* CurlLayer::CookieStore() {
  if (!cookie_store_) {
    CURLSH* share = api_->share_init();
    if (!share) return nullptr;
    api_->share_setopt(share, CURLSHOPT_SHARE, static_cast<long>(CURL_LOCK_DATA_COOKIE));
    cookie_store_ = share;
  }
  return cookie_store_;
}

HttpHandle CurlLayer::Open(const Text& agent, int access_type, const Text& proxy, const Text& proxy_bypass,
                           std::uint32_t /*flags*/) {
  if (access_type != inet::INTERNET_OPEN_TYPE_DIRECT && access_type != inet::INTERNET_OPEN_TYPE_PROXY) return {};
  if (!initialized_) {
    if (api_->global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return {};
    initialized_ = true;
  }
  return Add(Session{agent, access_type, proxy, proxy_bypass});
}

HttpHandle CurlLayer::Connect(HttpHandle session, const Text& host, int port, const Text& /*user*/,
                              const Text& /*password*/, int service, std::uint32_t /*flags*/,
                              std::uintptr_t /*context*/) {
  const Session* s = Find<Session>(session);
  if (!s || service != inet::INTERNET_SERVICE_HTTP || host.empty() || port < 1 || port > 65535) return {};
  return Add(Connection{*s, host, port});
}

HttpHandle CurlLayer::OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                                  const Text& /*referrer*/, std::uint32_t flags, std::uintptr_t /*context*/) {
  const Connection* c = Find<Connection>(connection);
  if (!c) return {};
  Request r;
  r.connection = *c;
  r.verb = verb.empty() ? Text("GET") : verb;
  r.path = path.empty() ? Text("/") : path;
  r.version = version;
  r.flags = flags;
  return Add(std::move(r));
}

bool CurlLayer::SetOption(HttpHandle request, int option, std::uint32_t value) {
  Request* r = Find<Request>(request);
  if (!r || option != inet::INTERNET_OPTION_SECURITY_FLAGS) return false;
  r->security_flags = value;
  return true;
}

bool CurlLayer::Send(HttpHandle request, const Text& headers, int headers_length, const Bytes& body) {
  Request* r = Find<Request>(request);
  if (!r || r->sent) return false;
  Api& api = *api_;
  CURL* easy = api.easy_init();
  if (!easy) return false;
  struct EasyCleanup {
    Api& api;
    CURL* easy;
    ~EasyCleanup() { api.easy_cleanup(easy); }
  } cleanup{api, easy};

  const Connection& c = r->connection;
  const bool secure = (r->flags & inet::INTERNET_FLAG_SECURE) != 0;
  std::string url = secure ? "https://" : "http://";
  const bool ipv6 = c.host.view().find(':') != std::string_view::npos && c.host.view().front() != '[';
  // Appended piece by piece: GCC 12 at -O3 misreads "x" + std::string as
  // an overlapping copy (-Wrestrict).
  if (ipv6) url += '[';
  url += c.host.view();
  if (ipv6) url += ']';
  url += ':';
  url += std::to_string(c.port);
  url += r->path.str();
  if (api.easy_setopt(easy, CURLOPT_URL, url.c_str()) != CURLE_OK) return false;
  api.easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  api.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  api.easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  api.easy_setopt(easy, CURLOPT_HTTP_VERSION,
                  r->version == Text("HTTP/1.0") ? static_cast<long>(CURL_HTTP_VERSION_1_0)
                                                  : static_cast<long>(CURL_HTTP_VERSION_1_1));
  // The agent is one header value: a line break would start a line of its
  // own, so the agent ends before the first one.
  const std::string agent = c.session.agent.str().substr(0, c.session.agent.view().find_first_of("\r\n"));
  if (!agent.empty()) api.easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());

  // Proxy: "" tells libcurl to connect directly and ignore the environment.
  std::string proxy;
  std::string no_proxy;
  if (c.session.access_type == inet::INTERNET_OPEN_TYPE_PROXY) {
    proxy = ProxyFor(c.session.proxy, secure ? "https" : "http");
    no_proxy = c.session.proxy_bypass.str();
    std::replace(no_proxy.begin(), no_proxy.end(), ';', ',');
  }
  api.easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  api.easy_setopt(easy, CURLOPT_NOPROXY, no_proxy.c_str());
  api.easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  const bool follow = (r->flags & inet::INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
  api.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  api.easy_setopt(easy, CURLOPT_MAXREDIRS, settings_.max_redirects);

  const bool check_chain = (r->security_flags & inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA) == 0;
  const bool check_name = (r->security_flags & inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID) == 0;
  api.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, check_chain ? 1L : 0L);
  api.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, check_name ? 2L : 0L);
  if (r->security_flags & inet::SECURITY_FLAG_IGNORE_REVOCATION) {
    api.easy_setopt(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
  }

  api.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings_.connect_timeout_ms);

  if ((r->flags & inet::INTERNET_FLAG_NO_COOKIES) == 0) {
    if (void* store = CookieStore()) {
      api.easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(store));
      api.easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // the cookie engine on, reading no file
    }
  }

  // The verb. HEAD asks for no body; a body goes out as POST data, under the
  // request's own verb when that is not POST.
  const std::string verb = r->verb.str();
  if (verb == "HEAD") {
    api.easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (verb == "POST" || !body.empty()) {
    api.easy_setopt(easy, CURLOPT_POST, 1L);
    api.easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    api.easy_setopt(easy, CURLOPT_POSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
    if (verb != "POST") api.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
  } else if (verb != "GET") {
    api.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
  }

  HeaderList header_list(api);
  const int length = std::clamp(headers_length, 0, TextLength(headers));
  header_list.AddBlock(headers.view().substr(0, static_cast<std::size_t>(length)));
  header_list.Suppress("Accept");
  header_list.Suppress("Content-Type");
  header_list.Suppress("Expect");
  api.easy_setopt(easy, CURLOPT_HTTPHEADER, header_list.get());

  Transfer transfer{&r->body, &r->raw_headers, static_cast<double>(settings_.receive_timeout_s),
                    settings_.max_body_bytes};
  api.easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
  api.easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
  api.easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  api.easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  api.easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
  api.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  api.easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  api.easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  api.easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);

  const CURLcode result = api.easy_perform(easy);
  long status = 0;
  api.easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK && (status == 0 || r->raw_headers.empty())) return false;  // no answer at all
  r->sent = true;
  r->failed = result != CURLE_OK;
  return true;
}

bool CurlLayer::Read(HttpHandle request, std::uint8_t* buffer, int size, int* count) {
  Request* r = Find<Request>(request);
  *count = 0;
  if (!r || !r->sent || size < 0) return false;
  const int n = std::min(size, r->body.size() - r->read_offset);
  if (n == 0) return !r->failed;
  std::memcpy(buffer, r->body.data() + r->read_offset, static_cast<std::size_t>(n));
  r->read_offset += n;
  *count = n;
  return true;
}

bool CurlLayer::QueryRawHeaders(HttpHandle request, Text* headers) {
  Request* r = Find<Request>(request);
  if (!r || !r->sent || r->raw_headers.empty()) return false;
  *headers = Text(r->raw_headers);
  return true;
}

void CurlLayer::Close(HttpHandle handle) { objects_.erase(handle.id); }

}  // namespace pl
