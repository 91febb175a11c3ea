// integer_box.h: the rules of the two integer input boxes, apart from any
// toolkit. A back end applies them to its edit control: it refuses a typed
// character that AcceptsTypedCharacter rejects, holds at most
// kIntegerBoxMaxLength characters, and when the box loses the keyboard focus
// replaces its text by RewriteOnLeave(style, text) if that differs, putting
// the caret where the old selection began.
//
//   pl::RewriteOnLeave(pl::EditStyle::kDigitString, "0926")    // "0926"
//   pl::RewriteOnLeave(pl::EditStyle::kIntegerNumber, "0926")  // "926"
#pragma once

#include "app/window_definition.h"
#include "text/text.h"

namespace pl {

inline constexpr int kIntegerBoxMaxLength = 10;

// Whether a typed printable character may enter an integer input box: the
// digits "0" to "9" and the minus sign. Control keys are not characters and
// are not asked about; pasted text is not filtered by character.
bool AcceptsTypedCharacter(char32_t c);

// The box holding a string of digits to look for: keeps what the C library's
// reading of an integer takes (leading blanks " \t\n\v\f\r" skipped, one
// optional sign, then the digits up to the first other character) exactly as
// typed: no numeric conversion, no clamping, leading zeros kept. No digits at
// all gives the empty text. "0926" stays, "12-3" gives "12", " -7x" gives "-7",
// "-" and "abc" give "".
Text KeepDigitString(const Text& t);

// The box holding a place: the text read as a 64-bit integer as the C library
// does (overflow saturates), clamped to -2147483648..2147483647 and written
// in plain decimal; 0 (also "no digits") gives the empty text. "0926" gives
// "926", "9999999999" gives "2147483647", "-" gives "".
Text RewriteAsInteger(const Text& t);

// The rewrite of the given integer box style; any other style keeps the text.
Text RewriteOnLeave(EditStyle style, const Text& t);

}  // namespace pl
