// http_layer.h: the HTTP layer that FetchPage drives, one step per call.
//
// The layer is shaped after the eight calls a request needs: a session (agent
// and proxy), a connection (host and port), a request (verb, path, version,
// request flags), the security flags, a send (header block and body), reading
// the body in pieces until a read delivers nothing, the raw header text, and
// closing. Handles are small numbers owned by the layer; 0 is no handle.
//
//   pl::HttpHandle s = layer.Open(agent, pl::inet::INTERNET_OPEN_TYPE_DIRECT, {}, {}, 0);
//   pl::HttpHandle c = layer.Connect(s, "127.0.0.1", 8314, {}, {}, pl::inet::INTERNET_SERVICE_HTTP, 0, 0);
//   pl::HttpHandle r = layer.OpenRequest(c, "GET", "/", "HTTP/1.1", {}, flags, 0);
//   layer.Send(r, block, pl::TextLength(block), {});
//   while (layer.Read(r, buf, 1024, &n) && n > 0) { ... }
//   layer.Close(r); layer.Close(c); layer.Close(s);
//
// CurlLayer (curl_layer.h) is the Linux implementation; tests use a fake that
// records every call.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace pl {

struct HttpHandle {
  int id = 0;
  explicit operator bool() const { return id != 0; }
  friend bool operator==(HttpHandle, HttpHandle) = default;
};

// The values the layer understands, under their published WinInet names.
namespace inet {
inline constexpr int INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr int INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr int INTERNET_SERVICE_HTTP = 3;
inline constexpr int INTERNET_OPTION_SECURITY_FLAGS = 31;

inline constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;
inline constexpr std::uint32_t INTERNET_FLAG_NEED_FILE = 0x00000010u;
inline constexpr std::uint32_t INTERNET_FLAG_NO_COOKIES = 0x00080000u;
inline constexpr std::uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000u;
inline constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x00800000u;
inline constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000u;

inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_REVOCATION = 0x00000080u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_WRONG_USAGE = 0x00000200u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP = 0x00008000u;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_WEAK_SIGNATURE = 0x00010000u;
}  // namespace inet

class HttpLayer {
 public:
  virtual ~HttpLayer() = default;

  // A session. access_type: INTERNET_OPEN_TYPE_DIRECT, or
  // INTERNET_OPEN_TYPE_PROXY with a proxy list: entries separated by blanks
  // or ";", each "scheme=host:port" for one scheme or "host:port" for all.
  virtual HttpHandle Open(const Text& agent, int access_type, const Text& proxy, const Text& proxy_bypass,
                          std::uint32_t flags) = 0;
  // A connection to host and port; user and password empty for none.
  virtual HttpHandle Connect(HttpHandle session, const Text& host, int port, const Text& user,
                             const Text& password, int service, std::uint32_t flags, std::uintptr_t context) = 0;
  // A request for path with the INTERNET_FLAG_* request flags.
  virtual HttpHandle OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                                 const Text& referrer, std::uint32_t flags, std::uintptr_t context) = 0;
  // Only INTERNET_OPTION_SECURITY_FLAGS with SECURITY_FLAG_* bits is known.
  virtual bool SetOption(HttpHandle request, int option, std::uint32_t value) = 0;
  // Sends the request: the first headers_length bytes of the header block,
  // byte for byte, and the body (empty: none). False when no answer came.
  virtual bool Send(HttpHandle request, const Text& headers, int headers_length, const Bytes& body) = 0;
  // Up to `size` further body bytes into buffer, their number into *count;
  // 0 at the end of the body. False when the body could not be read to its
  // end (the connection failed or stalled): what was read is not the answer.
  virtual bool Read(HttpHandle request, std::uint8_t* buffer, int size, int* count) = 0;
  // The raw header text of the answer: the status line and the header lines,
  // each ended by CR LF, whatever its length. False when there is none.
  virtual bool QueryRawHeaders(HttpHandle request, Text* headers) = 0;
  virtual void Close(HttpHandle handle) = 0;
};

}  // namespace pl
