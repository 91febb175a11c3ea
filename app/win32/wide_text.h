// wide_text.h: the program's code page 936 texts at the window boundary.
// The window speaks UTF-16 (the wide-character functions), so that the
// Chinese shows correctly on a Windows whose own code page is not 936.
//
//   SetWindowTextW(edit, pl::WideFromText(text).c_str());
//   pl::Text back = pl::TextFromWide(L"...");
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace pl {

// Both go through the code-page functions bound by name (text/codepage_win32.h).

// Code page 936 to UTF-16. A byte that starts no code page 936 character
// comes out as the system renders it.
std::wstring WideFromText(const Text& text);

// UTF-16 to code page 936; characters that the code page lacks become "?".
Text TextFromWide(std::wstring_view wide);

}  // namespace pl
