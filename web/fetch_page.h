// fetch_page.h: one HTTP or HTTPS request, the program's only way to the
// network.
//
//   pl::Bytes body = pl::FetchPage("http://127.0.0.1:8314/getNumber.do?index=5");
//   if (body.empty()) { /* the request failed, or the answer had no body */ }
//
//   pl::Text jar = "sid=1";                      // supplied: sent, merged back
//   pl::Text raw_headers;
//   pl::FetchOptions o;
//   o.method = 1;                                // POST
//   o.body_text = "a=1&b=2";
//   o.cookies = &jar;
//   o.received_headers = &raw_headers;
//   pl::Bytes answer = pl::FetchPage(url, o);
//
// The URL alone makes a GET with the default agent "Mozilla/4.0 (compatible;
// MSIE 9.0; Windows NT 6.1)", a direct connection, the process's cookie store
// and the header block "Accept: */*", "\r\nReferer: " + url,
// "\r\nAccept-Language: zh-cn".
#pragma once

#include "text/text.h"

namespace pl {

class HttpLayer;  // http_layer.h

// The optional arguments of FetchPage. A null pointer is an omitted argument;
// the cookies argument is "supplied" exactly when its pointer is not null,
// whatever text it points to.
struct FetchOptions {
  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT;
  // any other value is GET.
  int method = 0;
  // The body as text, used when the body bytes are empty. A GET sends no
  // body whatever these hold.
  Text body_text;
  // In-out. Supplied: the request uses no cookie store; a non-empty text goes
  // out in a Cookie line ("\r\nCookie: " + text, or "\r\n" + text when it
  // holds "Cookie:"); with merge_cookies it receives the merged cookies.
  // Omitted: the process's cookie store sends and keeps cookies.
  Text* cookies = nullptr;
  // Out: the cookies the answer set ("Set-Cookie: " lines, first name=value
  // of each, joined by "; "), or the merged cookies when merging ran.
  Text* received_cookies = nullptr;
  // The caller's header block, lines separated by CR LF; never changed.
  // A User-Agent line in it names the agent.
  Text headers;
  // Out: the answer's raw header text, the status line and each header line
  // ended by CR LF, whatever its length.
  Text* received_headers = nullptr;
  bool no_redirect = false;            // do not follow redirections
  // In-out: the body as bytes (zeros allowed). When empty and a body is sent,
  // it receives the body text's bytes.
  Bytes* body_bytes = nullptr;
  // Empty: a direct connection. Otherwise "host:port" of the proxy.
  Text proxy;
  bool merge_cookies = true;           // merge received cookies into *cookies
  bool add_default_headers = true;     // add Accept, Referer, Accept-Language (and Content-Type for POST)
  bool normalize_headers = true;       // pass the block through NormalizeHeaders first
};

// Performs the request through the process's HTTP layer (libcurl, bound by
// name on first use). Returns the body; empty when the answer has none or
// the request failed. A request fails when no session, connection or request
// can be opened, when nothing answers, or when the body cannot be read to
// its end; the out-arguments then keep the caller's values. Any status
// (a redirection not followed, an error page) is an answer.
Bytes FetchPage(const Text& url, const FetchOptions& options = {});

// The same over a given layer (a recording fake in tests).
Bytes FetchPage(const Text& url, const FetchOptions& options, HttpLayer& layer);

}  // namespace pl
