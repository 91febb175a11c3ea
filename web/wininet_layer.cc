#include "web/wininet_layer.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>
#include <cstring>

namespace pl {

namespace {

using HINTERNET = void*;

// WinInet's published values that the layer itself uses.
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

}  // namespace

// The eight WinInet functions, each looked up by name on its first call and
// kept for the life of the table. The library is never unloaded.
class WininetLayer::Api {
 public:
  explicit Api(Text library) : library_(std::move(library)) {}
  Api(const Api&) = delete;
  Api& operator=(const Api&) = delete;

  HINTERNET InternetOpenA(const char* agent, DWORD access, const char* proxy, const char* bypass, DWORD flags) {
    return Bind(open_, "InternetOpenA")(agent, access, proxy, bypass, flags);
  }
  HINTERNET InternetConnectA(HINTERNET session, const char* host, WORD port, const char* user,
                             const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
    return Bind(connect_, "InternetConnectA")(session, host, port, user, password, service, flags, context);
  }
  HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* path, const char* version,
                             const char* referrer, const char** accept_types, DWORD flags, DWORD_PTR context) {
    return Bind(open_request_, "HttpOpenRequestA")(connection, verb, path, version, referrer, accept_types, flags,
                                                  context);
  }
  BOOL InternetSetOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD length) {
    return Bind(set_option_, "InternetSetOptionA")(handle, option, buffer, length);
  }
  BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headers_length, void* body,
                        DWORD body_length) {
    return Bind(send_, "HttpSendRequestA")(request, headers, headers_length, body, body_length);
  }
  BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD size, DWORD* count) {
    return Bind(read_, "InternetReadFile")(request, buffer, size, count);
  }
  BOOL HttpQueryInfoA(HINTERNET request, DWORD level, void* buffer, DWORD* length, DWORD* index) {
    return Bind(query_, "HttpQueryInfoA")(request, level, buffer, length, index);
  }
  BOOL InternetCloseHandle(HINTERNET handle) { return Bind(close_, "InternetCloseHandle")(handle); }

 private:
  template <class Fn>
  Fn Bind(Fn& slot, const char* name) {
    if (slot) return slot;
    if (!library_handle_) library_handle_ = LoadLibraryA(library_.c_str());
    FARPROC address = library_handle_ ? GetProcAddress(library_handle_, name) : nullptr;
    if (!address) FatalError(0, Concat("无法找到指定DLL库文件“", library_, "”中的输出命令“", name, "”"), 0, 0);
    // Through void*: the address is of the function's real type, not FARPROC's.
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
    return slot;
  }

  Text library_;
  HMODULE library_handle_ = nullptr;
  HINTERNET(WINAPI* open_)(const char*, DWORD, const char*, const char*, DWORD) = nullptr;
  HINTERNET(WINAPI* connect_)(HINTERNET, const char*, WORD, const char*, const char*, DWORD, DWORD,
                              DWORD_PTR) = nullptr;
  HINTERNET(WINAPI* open_request_)(HINTERNET, const char*, const char*, const char*, const char*, const char**,
                                   DWORD, DWORD_PTR) = nullptr;
  BOOL(WINAPI* set_option_)(HINTERNET, DWORD, void*, DWORD) = nullptr;
  BOOL(WINAPI* send_)(HINTERNET, const char*, DWORD, void*, DWORD) = nullptr;
  BOOL(WINAPI* read_)(HINTERNET, void*, DWORD, DWORD*) = nullptr;
  BOOL(WINAPI* query_)(HINTERNET, DWORD, void*, DWORD*, DWORD*) = nullptr;
  BOOL(WINAPI* close_)(HINTERNET) = nullptr;
};

WininetLayer::WininetLayer(WininetLayerSettings settings) : api_(std::make_unique<Api>(settings.library)) {}

WininetLayer::~WininetLayer() {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) api_->InternetCloseHandle(it->second.handle);
}

HttpHandle WininetLayer::Add(void* handle, bool head) {
  if (!handle) return {};
  const int id = next_id_++;
  entries_.emplace(id, Entry{handle, head, 0});
  return HttpHandle{id};
}

WininetLayer::Entry* WininetLayer::Find(HttpHandle handle) {
  const auto it = entries_.find(handle.id);
  return it == entries_.end() ? nullptr : &it->second;
}

HttpHandle WininetLayer::Open(const Text& agent, int access_type, const Text& proxy, const Text& proxy_bypass,
                              std::uint32_t flags) {
  // With a proxy an empty bypass list is "" (no host bypasses it); a null
  // list would make WinInet read one from the system's settings.
  const bool via_proxy = access_type == inet::INTERNET_OPEN_TYPE_PROXY;
  // The agent is one header value: a line break would start a line of its
  // own, so the agent ends before the first one.
  const std::size_t line_break = agent.view().find_first_of("\r\n");
  const Text one_line = line_break == std::string_view::npos ? agent : TextLeft(agent, static_cast<int>(line_break));
  return Add(api_->InternetOpenA(one_line.CStrOrNull(), static_cast<DWORD>(access_type),
                                 via_proxy ? proxy.c_str() : proxy.CStrOrNull(),
                                 via_proxy ? proxy_bypass.c_str() : proxy_bypass.CStrOrNull(), flags));
}

HttpHandle WininetLayer::Connect(HttpHandle session, const Text& host, int port, const Text& user,
                                 const Text& password, int service, std::uint32_t flags, std::uintptr_t context) {
  const Entry* s = Find(session);
  // WinInet takes a 16-bit port, and 0 would stand for the service's default.
  if (!s || host.empty() || port < 1 || port > 65535) return {};
  return Add(api_->InternetConnectA(s->handle, host.c_str(), static_cast<WORD>(port), user.CStrOrNull(),
                                    password.CStrOrNull(), static_cast<DWORD>(service), flags, context));
}

HttpHandle WininetLayer::OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                                     const Text& referrer, std::uint32_t flags, std::uintptr_t context) {
  const Entry* c = Find(connection);
  if (!c) return {};
  return Add(api_->HttpOpenRequestA(c->handle, verb.CStrOrNull(), path.CStrOrNull(), version.CStrOrNull(),
                                    referrer.CStrOrNull(), nullptr, flags, context),
             verb == Text("HEAD"));
}

bool WininetLayer::SetOption(HttpHandle request, int option, std::uint32_t value) {
  const Entry* r = Find(request);
  if (!r) return false;
  DWORD v = value;
  return api_->InternetSetOptionA(r->handle, static_cast<DWORD>(option), &v, sizeof v) != FALSE;
}

bool WininetLayer::Send(HttpHandle request, const Text& headers, int headers_length, const Bytes& body) {
  const Entry* r = Find(request);
  if (!r) return false;
  const int length = headers_length < 0 ? 0 : (headers_length > TextLength(headers) ? TextLength(headers) : headers_length);
  // WinInet does not write through the body pointer; its type is only older
  // than const.
  void* data = const_cast<std::uint8_t*>(body.data());
  return api_->HttpSendRequestA(r->handle, length > 0 ? headers.c_str() : nullptr, static_cast<DWORD>(length), data,
                                static_cast<DWORD>(body.size())) != FALSE;
}

long long WininetLayer::ExpectedBodyLength(const Entry& request) {
  if (request.head) return -1;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (api_->HttpQueryInfoA(request.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                           nullptr) &&
      (status < 200 || status == 204 || status == 304)) {
    return -1;  // these answers have no body whatever they announce
  }
  DWORD announced = 0;
  size = sizeof announced;
  if (!api_->HttpQueryInfoA(request.handle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size,
                            nullptr)) {
    return -1;
  }
  return announced;
}

bool WininetLayer::Read(HttpHandle request, std::uint8_t* buffer, int size, int* count) {
  *count = 0;
  Entry* r = Find(request);
  if (!r || size < 0) return false;
  DWORD got = 0;
  if (!api_->InternetReadFile(r->handle, buffer, static_cast<DWORD>(size), &got)) return false;
  if (got > static_cast<DWORD>(size)) return false;
  // Sizes are 32-bit: a longer body fails the request rather than wrapping.
  if (r->body_read + got > INT_MAX) return false;
  *count = static_cast<int>(got);
  r->body_read += got;
  if (got == 0) {
    // The end of the body: short of the announced length, the connection
    // broke before the answer was whole.
    const long long expected = ExpectedBodyLength(*r);
    if (expected >= 0 && r->body_read < expected) return false;
  }
  return true;
}

bool WininetLayer::QueryRawHeaders(HttpHandle request, Text* headers) {
  const Entry* r = Find(request);
  if (!r) return false;
  // The size first (it counts the ending zero byte), then the text in a
  // buffer of that size. Should the text grow in between, ask again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD size = 0;
    api_->HttpQueryInfoA(r->handle, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size >= static_cast<DWORD>(INT_MAX)) {
      return false;
    }
    bool read = false;
    Text text = Text::Filled(static_cast<int>(size) + 1, [&](char* buffer, int room) {
      DWORD length = static_cast<DWORD>(room);
      read = api_->HttpQueryInfoA(r->handle, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr) != FALSE;
      if (!read) buffer[0] = '\0';
    });
    if (read) {
      *headers = text;
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

void WininetLayer::Close(HttpHandle handle) {
  const auto it = entries_.find(handle.id);
  if (it == entries_.end()) return;
  api_->InternetCloseHandle(it->second.handle);
  entries_.erase(it);
}

}  // namespace pl
