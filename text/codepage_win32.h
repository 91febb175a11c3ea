// codepage_win32.h (Windows only): the two code-page functions as the
// program binds them, by name in "kernel32.dll" on first use, for the other
// code that converts texts (the window's UTF-16 boundary). Arguments and
// results are those of MultiByteToWideChar and WideCharToMultiByte (no
// default character); a function that cannot be bound stops the program
// through FatalError.
//
//   int units = pl::MultiByteToWide(936, 0, text.c_str(), n, nullptr, 0);
#pragma once

namespace pl {

int MultiByteToWide(unsigned code_page, unsigned long flags, const char* in, int in_count, wchar_t* out,
                    int out_count);
int WideToMultiByte(unsigned code_page, const wchar_t* in, int in_count, char* out, int out_count);

}  // namespace pl
