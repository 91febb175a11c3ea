// headers.h: the request header block and the lines added to it.
//
// A header block is header lines separated by CR LF, each a name, a colon and
// a value ("Accept: */*\r\nReferer: http://x/"). The lines added here all
// begin with CR LF, so that appending one continues the block.
//
//   pl::Text b = pl::NormalizeHeaders("user-agent: x\r\nx-requested-with: y");
//   // "User-Agent: x\r\nX-Requested-With: y"
//   pl::AddDefaultHeaders(b, url, /*post=*/false);
//   pl::AddCookieLine(b, "a=1; b=2");   // + "\r\nCookie: a=1; b=2"
#pragma once

#include "text/text.h"

namespace pl {

// Every line holding a colon, in order and byte for byte, except that the
// first byte of the name and each byte after a "-" in the name are upper-cased
// when they are letters a to z. Lines without a colon (empty lines included)
// are dropped; the result has no CR LF after its last line. A "-" at the end
// of the name keeps its place ("x-: 1" -> "X-: 1"). Lone CR or LF bytes do not
// end a line.
Text NormalizeHeaders(const Text& block);

// t with its first byte upper-cased when it is a letter a to z.
Text CapitalizeFirst(const Text& t);

// Everything after the first colon, blanks trimmed at both ends; empty when
// there is no colon. Runs to the end of `line`, across CR LF.
Text HeaderValue(const Text& line);

// Appends `default_line` (which begins with CR LF) to `block` unless `name`
// occurs anywhere in the block, ignoring letter case: inside another
// header's name or value counts as present.
void EnsureHeader(Text& block, const Text& name, const Text& default_line);

// Completes the block with the lines a request carries by default: an empty
// block becomes "Accept: */*"; then Accept, "Referer: " + url and
// "Accept-Language: zh-cn" are added when missing, and for a POST
// "Content-Type: application/x-www-form-urlencoded".
void AddDefaultHeaders(Text& block, const Text& url, bool post);

// Appends the cookie line for a non-empty cookie text: "\r\nCookie: " and the
// cookies, or only "\r\n" and the cookies when they already hold "Cookie:"
// (exact case), so that a caller may pass a complete line. An empty cookie
// text adds nothing.
void AddCookieLine(Text& block, const Text& cookies);

}  // namespace pl
