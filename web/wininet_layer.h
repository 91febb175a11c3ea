// wininet_layer.h: the HTTP layer on Windows, the Windows Internet API
// (WinInet) bound by name.
//
//   pl::WininetLayer layer;                   // binds "wininet.dll" on first use
//   pl::Bytes page = pl::FetchPage(url, {}, layer);
//
// WinInet is not linked: the layer loads "wininet.dll" and looks up each of
// its eight functions (InternetOpenA, InternetConnectA, HttpOpenRequestA,
// InternetSetOptionA, HttpSendRequestA, InternetReadFile, HttpQueryInfoA,
// InternetCloseHandle) on its first call; the address serves for the rest of
// the run. When the library or a function cannot be found, the program ends
// through FatalError(0, "无法找到指定DLL库文件“wininet.dll”中的输出命令“<function>”", 0, 0).
//
// Every call is synchronous, with context 0 and no status callback. The
// request flags, the security flags, the proxy list, redirections, the time
// limits and the cookie store are WinInet's own. Beyond that:
// - Send is false when HttpSendRequestA fails: no answer came.
// - Read is false when InternetReadFile fails, and also when the body ends
//   before the length that the answer's Content-Length announced (the
//   connection broke): what was read is not the whole answer.
// - The agent ends before its first line break, and a body longer than
//   2^31 - 1 bytes fails the request (sizes are 32-bit).
// - QueryRawHeaders asks WinInet for the size of the raw header text first
//   and then reads it into a buffer of that size, so the text comes whole
//   whatever its length.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "web/http_layer.h"

namespace pl {

struct WininetLayerSettings {
  Text library = "wininet.dll";  // another name only to test a failed binding
};

class WininetLayer final : public HttpLayer {
 public:
  explicit WininetLayer(WininetLayerSettings settings = {});
  ~WininetLayer() override;  // closes any handle still open, newest first
  WininetLayer(const WininetLayer&) = delete;
  WininetLayer& operator=(const WininetLayer&) = delete;

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

  class Api;  // the WinInet functions, bound on first use

 private:
  struct Entry {
    void* handle = nullptr;  // HINTERNET
    bool head = false;       // a HEAD request: its answer has no body
    long long body_read = 0;
  };
  HttpHandle Add(void* handle, bool head = false);
  Entry* Find(HttpHandle handle);
  // The Content-Length of the answer, or -1 when it names none or has no body.
  long long ExpectedBodyLength(const Entry& request);

  std::unique_ptr<Api> api_;
  std::map<int, Entry> entries_;
  int next_id_ = 1;
};

}  // namespace pl
