// url.h: taking a URL apart into host, port and path, by plain text search.
//
//   pl::HostOf("HTTPS://A.Example.COM:8443/A/b")        -> "a.example.com"
//   pl::HostOf("http://a.example.com:81/", true, true)  -> "example.com:81"
//   pl::PortOf("HTTPS://A.Example.COM:8443/A/b")        -> 8443
//   pl::PathOf("HTTPS://A.Example.COM:8443/A/b")        -> "/A/b"
//
// The URL is taken as the caller wrote it: the scheme may be missing, letters
// may be in any case, a port may follow the host and the URL may end right
// after the host. Nothing is checked for validity; every input gives a value.
//
// "http://" or "https://" counts as a scheme only at the very start of the
// URL (any case). The host runs from after the scheme to the first "/", "?"
// or "#"; an "http://" further on, in a path or a query, is never a host.
#pragma once

#include <optional>

#include "text/text.h"

namespace pl {

// The host in lower case.
//
// Plain mode (levels omitted): domain_only keeps the last two dot-separated
// labels ("a.b.example.com" -> "example.com"; a single label stays whole).
// Levels mode (levels given, whatever its value): domain_only keeps at most
// the last levels + 1 labels, otherwise at most the last levels + 2; levels
// of 0 or less count as 0.
// Either way a ":" and port after the host are cut off unless keep_port; a
// port still attached to the last label counts as part of it when reducing.
// An IPv6 literal keeps its brackets ("http://[::1]:8080/" -> "[::1]"), and
// only a ":" after its "]" starts a port. An empty URL gives the empty host.
Text HostOf(const Text& url, bool domain_only = false, bool keep_port = false,
            std::optional<int> levels = std::nullopt);

// The port written after the host; without one, 443 when the URL's first five
// letters are "https" (any case) and 80 otherwise. A port text that is not a
// number gives what ToInt makes of it ("ab" -> 0).
int PortOf(const Text& url);

// Path and query, in the URL's own case, from the "/" that ends the host to
// the end of the URL. A host ended by "?" or "#" gives "/" followed by the
// rest ("http://example.com?x=1" -> "/?x=1"); no "/", "?" or "#" after the
// host gives "/". Never empty.
Text PathOf(const Text& url);

}  // namespace pl
