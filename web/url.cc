#include "web/url.h"

namespace pl {
namespace {

// Where the host (with any port) stands in a URL: the bytes after a leading
// scheme up to, not including, the first "/", "?" or "#" after it. Offsets
// are 0-based; end == the URL's length when nothing ends the host.
struct HostSpan {
  int begin = 0;
  int end = 0;
};

HostSpan FindHostSpan(const Text& url) {
  const Text head = ToLower(TextLeft(url, 8));
  HostSpan span;
  if (TextLeft(head, 8) == Text("https://")) {
    span.begin = 8;
  } else if (TextLeft(head, 7) == Text("http://")) {
    span.begin = 7;
  }
  // Step by character, as the text routines do, so that the second byte of
  // a double-byte character is never taken for a "/", "?" or "#".
  int i = span.begin;
  const int n = TextLength(url);
  while (i < n) {
    const unsigned char c = url[i];
    if (c == '/' || c == '?' || c == '#') break;
    i += (c >= 0x80) ? 2 : 1;
  }
  span.end = i < n ? i : n;
  return span;
}

// The host with any port, lower case.
Text HostWithPort(const Text& url) {
  const HostSpan span = FindHostSpan(url);
  return ToLower(TextMid(url, span.begin + 1, span.end - span.begin));
}

// Where the ":" before the port stands in a host, or -1: the first ":" (or,
// for PortOf, the last), except in a bracketed IPv6 literal ("[::1]:8080"),
// whose own colons never start a port: there only a ":" after the "]" does.
int PortColon(const Text& host, bool last) {
  if (TextLeft(host, 1) == Text("[")) {
    const int close = FindText(host, "]");
    if (close != -1) return FindText(host, ":", close + 1);
  }
  return last ? FindTextReverse(host, ":") : FindText(host, ":");
}

Text CutPort(const Text& host, bool keep_port) {
  if (keep_port) return host;
  const int colon = PortColon(host, false);
  return colon == -1 ? host : TextLeft(host, colon - 1);
}

}  // namespace

Text HostOf(const Text& url, bool domain_only, bool keep_port, std::optional<int> levels) {
  Text t = HostWithPort(url);
  if (!levels) {
    if (domain_only) {
      const TextArray labels = SplitText(t, ".");
      const int count = ArraySize(labels);
      if (count > 1) {
        t = Concat(labels.Item(count - 1, {2, 1}), ".", labels.Item(count, {2, 2}));
      }
    }
    return CutPort(t, keep_port);
  }

  // Levels mode: walk back over `levels` dots from the end, then one more.
  const int n = TextLength(t);
  int m = n;
  for (int i = 0; i < *levels; ++i) m = FindTextReverse(t, ".", m);
  const int o = FindTextReverse(t, ".", m);
  if (domain_only) {
    t = TextRight(t, n - o);  // o == -1: n + 1 bytes, that is all of t
  } else if (o != -1) {
    const int p = FindTextReverse(t, ".", o);
    if (p != -1) t = TextRight(t, n - p);
  }
  return CutPort(t, keep_port);
}

int PortOf(const Text& url) {
  const Text h = HostOf(url, false, true);
  const int c = PortColon(h, true);
  if (c == -1) return ToLower(TextLeft(url, 5)) == Text("https") ? 443 : 80;
  return ToInt(TextRight(h, TextLength(h) - c));
}

Text PathOf(const Text& url) {
  const HostSpan span = FindHostSpan(url);
  const int n = TextLength(url);
  if (span.end >= n) return "/";
  const Text rest = TextRight(url, n - span.end);
  return url[span.end] == '/' ? rest : Concat("/", rest);
}

}  // namespace pl
