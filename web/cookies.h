// cookies.h: the cookie text and merging the cookies held with those received.
//
// A cookie text holds cookies separated by "; " (semicolon and one blank),
// each a name, "=" and a value ("sid=abc; lang=zh"). A ";" without a blank
// after it stays inside a cookie. A cookie ending in "=deleted" is a deletion
// mark.
//
//   pl::Text held = "a=1; b=2; c=3";
//   pl::Text received = "b=20; d=4";
//   pl::MergeCookies(held, received);   // held == "b=20; d=4; a=1; c=3"
#pragma once

#include "text/text.h"

namespace pl {

// The received cookies in their order, then the held cookies whose names are
// not among the received ones, in their order; deletion marks from either
// side left out; an item repeated byte for byte kept only at its first place.
// Both arguments are first trimmed of blanks at both ends, and a final ";"
// gets a blank so that it separates; `received` keeps that tidied form and
// `held` receives the result, which is also returned. Among held cookies of
// one name only the first counts; received ones of one name all stay.
Text MergeCookies(Text& held, Text& received);

// The part before the first "=", or the whole cookie without one; blanks
// trimmed at both ends. Case is kept: names compare byte for byte.
Text CookieName(const Text& cookie);

// True when some cookie of `cookies` has exactly the name `name`.
bool HasCookieName(const TextArray& cookies, const Text& name);

// The items of `text` between separators, each only at its first place,
// joined by the separator.
Text UniqueItems(const Text& text, const Text& separator);

// The index (from 1) of the first item equal to `text`, or -1.
int IndexOfText(const TextArray& items, const Text& text);

}  // namespace pl
