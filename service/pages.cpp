#include "pages.h"

#include <chrono>
#include <cstdio>
#include <optional>

namespace pisvc {
namespace {

// The pages are UTF-8; narrow literals in this project are code page 936, so
// every text of a page is written as a u8 literal and taken as bytes here.
std::string S(std::u8string_view s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kJson = "application/json; charset=utf-8";

std::string Num(std::uint64_t v) { return std::to_string(v); }

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", s);
  return buf;
}

// Shown back to the user inside a page: printable ASCII, escaped, at most
// 60 characters; anything else becomes "?".
std::string Echo(std::string_view raw) {
  std::string out;
  std::size_t shown = 0;
  for (unsigned char c : raw) {
    if (++shown > 60) {
      out += "...";
      break;
    }
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
  }
  return out;
}

class Stopwatch {
 public:
  double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::string Head(const PiIndex& index) {
  return S(u8"<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
           u8"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>π 的小数点后前") +
         Num(index.size()) +
         S(u8"位数字</title>\n<style>\n"
           u8"body{font-family:sans-serif;max-width:52em;margin:2em auto;padding:0 1em;line-height:1.6}\n"
           u8".text-primary{color:#c0392b}\nspan{font-family:monospace}\n"
           u8"form{margin:.6em 0}\ninput{font-size:1em;width:20em}\n"
           u8"</style>\n</head>\n<body>\n");
}

std::string Forms(std::string_view number, std::string_view place) {
  return S(u8"<hr>\n<form action=\"/getNextIndex.do\" method=\"get\">\n<label>找找我的数字 "
           u8"<input name=\"number\" inputmode=\"numeric\" pattern=\"[0-9]{1,1000}\" maxlength=\"1000\" required value=\"") +
         Echo(number) + S(u8"\"></label>\n<button type=\"submit\">查找</button>\n</form>\n") +
         S(u8"<form action=\"/getNumber.do\" method=\"get\">\n<label>看看那儿的情况 "
           u8"<input name=\"index\" inputmode=\"numeric\" pattern=\"[0-9]{1,10}\" maxlength=\"10\" required value=\"") +
         Echo(place) + S(u8"\"></label>\n<button type=\"submit\">查看</button>\n</form>\n");
}

std::string Tail() { return S(u8"</body>\n</html>\n"); }

Reply Html(unsigned status, std::string body) { return Reply{status, std::string(kHtml), std::move(body), false, {}}; }

// A page that answers nothing: a sentence, the forms, no marker.
Reply Notice(const PiIndex& index, unsigned status, const std::string& sentence, std::string_view number,
             std::string_view place) {
  return Html(status, Head(index) + "<p>" + sentence + "</p>\n" + Forms(number, place) + Tail());
}

// Why a digit string is refused, or nothing when it is a string of 1 to
// 1000 digits.
std::optional<std::string> DigitsProblem(std::string_view q) {
  if (q.empty()) return S(u8"要查找的数字串是空的：请给出1到1000位数字，例如 926。");
  if (q.size() > kMaxQueryDigits)
    return S(u8"要查找的数字串太长：最多1000位，这次有") + Num(q.size()) + S(u8"位。");
  for (char c : q) {
    if (c < '0' || c > '9') {
      if (q[0] == '-' && q.size() > 1) return S(u8"要查找的只能是数字0到9，不能带负号。");
      return S(u8"要查找的只能是数字0到9组成的串，不能有空格、符号或其他字符。");
    }
  }
  return std::nullopt;
}

// A place from `lo` to `hi` written in decimal digits (leading zeros
// allowed), or nothing.
std::optional<std::uint64_t> ParsePlace(std::string_view s, std::uint64_t lo, std::uint64_t hi) {
  if (s.empty()) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
    if (v > hi) return std::nullopt;  // also keeps v far from overflow
  }
  if (v < lo) return std::nullopt;
  return v;
}

std::string PlaceProblem(const PiIndex& index) {
  return S(u8"位置必须是1到") + Num(index.size()) + S(u8"之间的整数（小数点后第几位）。");
}

Reply PositionPage(const PiIndex& index, std::string_view query) {
  std::string number;
  if (!QueryValue(query, "number", number))
    return Notice(index, 400, S(u8"请求缺少参数 number：请给出要查找的数字串，例如 /getNextIndex.do?number=926。"), "", "");
  if (auto problem = DigitsProblem(number)) return Notice(index, 400, *problem, number, "");
  std::uint64_t after = 0;
  std::string after_text;
  if (QueryValue(query, "after", after_text)) {
    auto a = ParsePlace(after_text, 0, index.size());
    if (!a) return Notice(index, 400, S(u8"参数 after 必须是0到") + Num(index.size()) + S(u8"之间的整数。"), number, "");
    after = *a;
  }
  Stopwatch watch;
  const std::uint64_t place = index.FindFirst(number, after);
  std::string_view before, following;
  if (place != 0) {
    const std::uint64_t from = place > 10 ? place - 10 : 1;
    before = index.DigitsAt(from, place - from);
    following = index.DigitsAt(place + number.size(), 20);
  }
  const double took = watch.Seconds();
  if (place == 0) {
    std::string sentence = S(u8"在π的小数点后前") + Num(index.size()) + S(u8"位中");
    if (after > 0) sentence += S(u8"，第") + Num(after) + S(u8"位之后");
    sentence += S(u8"没有找到数字串 ") + number + S(u8"。");
    return Notice(index, 200, sentence, number, "");
  }
  std::string body = Head(index);
  body += S(u8"<p>数字 ") + number + S(u8" 在小数点后第<strong class=\"text-primary\">") + Num(place) + S(u8"</strong>位</p>\n");
  body += S(u8"<p>附近的数字：<span>") + std::string(before) + "</span><strong>" + number + "</strong><span>" +
          std::string(following) + "</span></p>\n";
  body += S(u8"<p>执行功能用时<strong class=\"text-primary\">") + Seconds(took) + S(u8"</strong>秒</p>\n");
  body += S(u8"<p><a href=\"/getNextIndex.do?number=") + number + "&amp;after=" + Num(place) + S(u8"\">找下一个</a></p>\n");
  body += Forms(number, Num(place)) + Tail();
  return Html(200, std::move(body));
}

Reply PlacePage(const PiIndex& index, std::string_view query) {
  std::string text;
  if (!QueryValue(query, "index", text))
    return Notice(index, 400, S(u8"请求缺少参数 index：请给出小数点后的位置，例如 /getNumber.do?index=5。"), "", "");
  auto place = ParsePlace(text, 1, index.size());
  if (!place) return Notice(index, 400, PlaceProblem(index), "", text);
  Stopwatch watch;
  const std::uint64_t p = *place;
  const std::uint64_t from = p > 10 ? p - 10 : 1;
  const std::string_view before = index.DigitsAt(from, p - from);
  const std::string_view digit = index.DigitsAt(p, 1);
  const std::string_view following = index.DigitsAt(p + 1, 20);
  const double took = watch.Seconds();
  std::string body = Head(index);
  body += S(u8"<p>小数点后第<strong class=\"text-primary\">") + Num(p) + S(u8"</strong>位</p>\n");
  body += S(u8"<p>数字是：<span>") + std::string(before) + "</span><strong class = \"text-primary\">" +
          std::string(digit) + "</strong><span>" + std::string(following) + "</span></p>\n";
  body += S(u8"<p>执行功能用时<strong class=\"text-primary\">") + Seconds(took) + S(u8"</strong>秒</p>\n");
  body += Forms("", Num(p)) + Tail();
  return Html(200, std::move(body));
}

Reply HomePage(const PiIndex& index) {
  std::string body = Head(index);
  body += S(u8"<h1>π 的小数点后前") + Num(index.size()) + S(u8"位数字</h1>\n");
  body += S(u8"<p>输入一串数字，看它在π的小数点后第几位第一次出现；或输入一个位置，看那儿的数字。</p>\n");
  body += Forms("", "");
  body += S(u8"<hr>\n<p>程序接口（JSON）：<code>/api/search?q=926&amp;after=0</code> 查找位置与出现次数，"
            u8"<code>/api/digits?start=1&amp;count=100</code> 取出数字（每次最多10000位）。</p>\n");
  return Html(200, body + Tail());
}

Reply NotFoundPage(const PiIndex& index) {
  return Notice(index, 404, S(u8"没有这个页面。可以用下面的表单查找数字或位置。"), "", "");
}

// ---- JSON -------------------------------------------------------------------

Reply Json(unsigned status, std::string body) {
  return Reply{status, std::string(kJson), std::move(body) + "\n", true, {}};
}

Reply JsonError(const std::string& code, const std::string& message) {
  // The messages are our own sentences: no character in them needs escaping.
  return Json(400, "{\"error\":\"" + code + "\",\"message\":\"" + message + "\"}");
}

Reply ApiSearch(const PiIndex& index, std::string_view query) {
  std::string q;
  if (!QueryValue(query, "q", q)) return JsonError("missing_q", S(u8"缺少参数 q（要查找的数字串）"));
  if (auto problem = DigitsProblem(q)) return JsonError("bad_q", *problem);
  std::uint64_t after = 0;
  std::string after_text;
  if (QueryValue(query, "after", after_text)) {
    auto a = ParsePlace(after_text, 0, index.size());
    if (!a) return JsonError("bad_after", S(u8"参数 after 必须是0到") + Num(index.size()) + S(u8"之间的整数"));
    after = *a;
  }
  Stopwatch watch;
  const std::uint64_t place = index.FindFirst(q, after);
  const std::uint64_t count = index.Count(q);
  std::string_view before, following;
  if (place != 0) {
    const std::uint64_t from = place > 10 ? place - 10 : 1;
    before = index.DigitsAt(from, place - from);
    following = index.DigitsAt(place + q.size(), 20);
  }
  const double took = watch.Seconds();
  std::string body = "{\"q\":\"" + q + "\",\"after\":" + Num(after) +
                     ",\"position\":" + (place ? Num(place) : std::string("null")) + ",\"count\":" + Num(count) +
                     ",\"before\":\"" + std::string(before) + "\",\"following\":\"" + std::string(following) +
                     "\",\"total_digits\":" + Num(index.size()) + ",\"seconds\":" + Seconds(took) + "}";
  return Json(200, std::move(body));
}

Reply ApiDigits(const PiIndex& index, std::string_view query) {
  std::string text;
  if (!QueryValue(query, "start", text)) return JsonError("missing_start", S(u8"缺少参数 start（从第几位开始）"));
  auto start = ParsePlace(text, 1, index.size());
  if (!start) return JsonError("bad_start", PlaceProblem(index));
  std::uint64_t count = 100;
  if (QueryValue(query, "count", text)) {
    auto c = ParsePlace(text, 1, kMaxDigitsPerCall);
    if (!c) return JsonError("bad_count", S(u8"参数 count 必须是1到10000之间的整数"));
    count = *c;
  }
  Stopwatch watch;
  const std::string_view digits = index.DigitsAt(*start, count);
  const double took = watch.Seconds();
  return Json(200, "{\"start\":" + Num(*start) + ",\"count\":" + Num(digits.size()) + ",\"digits\":\"" +
                       std::string(digits) + "\",\"total_digits\":" + Num(index.size()) +
                       ",\"seconds\":" + Seconds(took) + "}");
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Reply ProtocolError(const PiIndex& index, unsigned status) {
  std::string sentence;
  switch (status) {
    case 413: sentence = S(u8"请求带的内容太大。"); break;
    case 414: sentence = S(u8"请求的地址太长：最多8192字节。"); break;
    case 431: sentence = S(u8"请求头太大：请求行和请求头合计最多8192字节。"); break;
    case 503: sentence = S(u8"服务器现在连接太多，请稍后再试。"); break;
    default: sentence = S(u8"看不懂这个请求：它不是正确的 HTTP/1.1 请求。"); break;
  }
  return Notice(index, status, sentence, "", "");
}

bool QueryValue(std::string_view query, std::string_view name, std::string& value) {
  while (true) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t eq = pair.find('=');
    if (pair.substr(0, eq) == name) {
      const std::string_view raw = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
      value.clear();
      for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '+') {
          value += ' ';
        } else if (raw[i] == '%' && i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 && HexValue(raw[i + 2]) >= 0) {
          value += static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
          i += 2;
        } else {
          value += raw[i];
        }
      }
      return true;
    }
    if (amp == std::string_view::npos) return false;
    query.remove_prefix(amp + 1);
  }
}

Reply Answer(const PiIndex& index, std::string_view method, std::string_view target) {
  const std::size_t mark = target.find('?');
  const std::string_view path = target.substr(0, mark);
  const std::string_view query = mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
  const bool api = path.starts_with("/api/");
  if (method == "OPTIONS" && api) {
    Reply r{204, {}, {}, true, "GET, HEAD, OPTIONS"};
    return r;
  }
  if (method != "GET" && method != "HEAD") {
    Reply r = api ? JsonError("method", S(u8"只接受 GET 请求")) : Notice(index, 405, S(u8"只接受 GET 请求。"), "", "");
    r.status = 405;
    r.allow = api ? "GET, HEAD, OPTIONS" : "GET, HEAD";
    return r;
  }
  if (path == "/getNextIndex.do") return PositionPage(index, query);
  if (path == "/getNumber.do") return PlacePage(index, query);
  if (path == "/api/search") return ApiSearch(index, query);
  if (path == "/api/digits") return ApiDigits(index, query);
  if (path == "/" || path == "/index.html") return HomePage(index);
  if (api) {
    Reply r = JsonError("not_found", S(u8"没有这个接口"));
    r.status = 404;
    return r;
  }
  return NotFoundPage(index);
}

}  // namespace pisvc
