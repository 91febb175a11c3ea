// pages.h: what the service answers to each request, as plain values, apart
// from any socket.
//
//   pisvc::Reply r = pisvc::Answer(index, "GET", "/getNextIndex.do?number=926");
//   // r.status == 200, r.content_type == "text/html; charset=utf-8",
//   // r.body holds "...第<strong class=\"text-primary\">5</strong>位..."
//
// The two lookup pages carry their values between fixed markers, which the
// desktop program cuts out byte for byte:
//
//   <p>数字 926 在小数点后第<strong class="text-primary">5</strong>位</p>
//   <p>附近的数字：<span>1415</span><strong>926</strong><span>53589793238462643383</span></p>
//   <p>执行功能用时<strong class="text-primary">0.000012</strong>秒</p>
//
//   <p>小数点后第<strong class="text-primary">5</strong>位</p>
//   <p>数字是：<span>1415</span><strong class = "text-primary">9</strong><span>26535897932384626433</span></p>
//   <p>执行功能用时<strong class="text-primary">0.000004</strong>秒</p>
//
// A page that answers nothing (not found, or a refused query) carries none
// of these markers, so the program shows its not-found state.
//
// Routes: GET /  (both lookups as forms), /getNextIndex.do?number=D[&after=P],
// /getNumber.do?index=P, /api/search?q=D[&after=P], /api/digits?start=P[&count=K].
// HEAD as GET without the body; OPTIONS on /api/ for cross-origin callers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pi_index.h"

namespace pisvc {

// The longest digit string a query may hold, and the most digits that
// /api/digits gives at once.
inline constexpr std::size_t kMaxQueryDigits = 1000;
inline constexpr std::uint64_t kMaxDigitsPerCall = 10000;

struct Reply {
  unsigned status = 200;
  std::string content_type;
  std::string body;
  bool cross_origin = false;  // add Access-Control-Allow-Origin: *
  std::string allow;          // the Allow header of a 405 or OPTIONS answer
};

// The reply to one request. `target` is the request target as sent
// ("/getNumber.do?index=5"); query values are percent-decoded.
Reply Answer(const PiIndex& index, std::string_view method, std::string_view target);

// The page for a request the server could not read: 400 malformed, 413 body
// too large, 414 request line too long, 431 headers too large, 503 too many
// connections. It carries no marker.
Reply ProtocolError(const PiIndex& index, unsigned status);

// The value of `name` in a query string ("a=1&b=2"), percent-decoded ("+" is
// a blank); false when the name is absent. The first occurrence counts.
bool QueryValue(std::string_view query, std::string_view name, std::string& value);

}  // namespace pisvc
