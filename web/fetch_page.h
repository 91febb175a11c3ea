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
#pragma once

#include "text/text.h"

namespace pl {

class HttpLayer;  // http_layer.h

// The optional arguments of FetchPage. A null pointer is an omitted argument;
// the cookies argument is "supplied" exactly when its pointer is not null,
// whatever text it points to.
struct FetchOptions {
  int method = 0;                      // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT
  Text body_text;                      // body as text, used when the body bytes are empty
  Text* cookies = nullptr;             // in-out: cookie text to send; receives the merged cookies
  Text* received_cookies = nullptr;    // out: the cookies the answer set
  Text headers;                        // the caller's header block
  Text* received_headers = nullptr;    // out: the raw header text of the answer
  bool no_redirect = false;            // do not follow redirections
  Bytes* body_bytes = nullptr;         // in-out: body as bytes; receives the converted body text
  Text proxy;                          // empty: a direct connection
  bool merge_cookies = true;
  bool add_default_headers = true;
  bool normalize_headers = true;
};

// Performs the request through the process's HTTP layer (libcurl, bound by
// name on first use). Returns the body; empty when the request failed, in
// which case the out-arguments keep the caller's values.
Bytes FetchPage(const Text& url, const FetchOptions& options = {});

// The same over a given layer (a recording fake in tests).
Bytes FetchPage(const Text& url, const FetchOptions& options, HttpLayer& layer);

}  // namespace pl
