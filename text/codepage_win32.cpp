// codepage_win32.cpp: conversion between UTF-8 and code page 936 with the
// Windows code-page functions, the Windows side of the program's one seam to
// a code-page converter (codepage_iconv.cpp is the Linux side).
//
// MultiByteToWideChar and WideCharToMultiByte are not linked: each is looked
// up by name in "kernel32.dll" on its first call and the address kept for the
// rest of the run. Should that fail, the program stops through
// FatalError(0, "无法找到指定DLL库文件“kernel32.dll”中的输出命令“<name>”", 0, 0).
//
// Utf8ToCp936 goes the way of the program's own platform: through UTF-16, in
// two passes each (the size first, then the conversion), with no flags and
// no default character, so that characters code page 936 lacks and invalid
// UTF-8 come out as Windows renders them.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "text/codepage_win32.h"
#include "text/text.h"

namespace pl {

namespace {

using MultiByteToWideCharFn = int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int);
using WideCharToMultiByteFn = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);

constexpr UINT kCp936 = 936;
constexpr const char* kLibrary = "kernel32.dll";

// Looks `name` up in kernel32.dll once; later calls reuse the address.
template <class Fn>
Fn Bind(Fn& slot, const char* name) {
  if (slot) return slot;
  HMODULE library = LoadLibraryA(kLibrary);
  FARPROC address = library ? GetProcAddress(library, name) : nullptr;
  if (!address) FatalError(0, Concat("无法找到指定DLL库文件“", kLibrary, "”中的输出命令“", name, "”"), 0, 0);
  // Through void*: the address is of the function's real type, not FARPROC's.
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
  return slot;
}

MultiByteToWideCharFn bound_to_wide = nullptr;
WideCharToMultiByteFn bound_to_multi = nullptr;

int ToWide(UINT code_page, DWORD flags, const char* in, int in_count, wchar_t* out, int out_count) {
  return Bind(bound_to_wide, "MultiByteToWideChar")(code_page, flags, in, in_count, out, out_count);
}

int ToMulti(UINT code_page, const wchar_t* in, int in_count, char* out, int out_count) {
  return Bind(bound_to_multi, "WideCharToMultiByte")(code_page, 0, in, in_count, out, out_count, nullptr, nullptr);
}

}  // namespace

int MultiByteToWide(unsigned code_page, unsigned long flags, const char* in, int in_count, wchar_t* out,
                    int out_count) {
  return ToWide(code_page, flags, in, in_count, out, out_count);
}

int WideToMultiByte(unsigned code_page, const wchar_t* in, int in_count, char* out, int out_count) {
  return ToMulti(code_page, in, in_count, out, out_count);
}

namespace {

// The storage of a UTF-16 buffer of `units` units (the last one stays zero).
int Utf16BufferBytes(int units) {
  const long long bytes = 2LL * units + 2;
  if (bytes > INT_MAX) FatalOutOfMemory(static_cast<std::size_t>(bytes));
  return static_cast<int>(bytes);
}

}  // namespace

Text Utf8ToCp936(const Bytes& utf8) {
  if (utf8.empty()) return Text();
  const char* input = reinterpret_cast<const char*>(utf8.data());
  const int n = BytesLength(utf8);

  const int w = ToWide(CP_UTF8, 0, input, n, nullptr, 0);
  if (w <= 0) return Text();
  Bytes wide = BlankBytes(Utf16BufferBytes(w));
  wchar_t* units = reinterpret_cast<wchar_t*>(wide.data());
  ToWide(CP_UTF8, 0, input, n, units, w);

  // The units handed on include the zero unit after the converted ones, so
  // the size counts the terminating zero byte and the text ends there (also
  // at a zero byte of the input, which became a zero unit).
  const int k = BytesLength(wide) / 2;
  const int m = ToMulti(kCp936, units, k, nullptr, 0);
  if (m <= 0) return Text();
  return Text::Filled(m, [&](char* out, int room) { ToMulti(kCp936, units, k, out, room); });
}

std::string Cp936ToUtf8(const Text& text) {
  std::string out;
  if (text.empty()) return out;
  // Character by character, so that every byte that starts no code page 936
  // character shows as "?" and the next byte is tried on its own.
  std::wstring wide;
  const std::string_view in = text.view();
  for (std::size_t i = 0; i < in.size();) {
    const auto lead = static_cast<unsigned char>(in[i]);
    if (lead < 0x80) {
      wide.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    int length = 1;  // the euro sign 0x80 is the one one-byte character
    if (lead >= 0x81 && lead <= 0xFE && i + 1 < in.size()) {
      const auto trail = static_cast<unsigned char>(in[i + 1]);
      if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) length = 2;
    }
    wchar_t unit = 0;
    const bool formed = (lead == 0x80 || length == 2) &&
                        ToWide(kCp936, MB_ERR_INVALID_CHARS, in.data() + i, length, &unit, 1) == 1;
    if (formed) {
      wide.push_back(unit);
      i += static_cast<std::size_t>(length);
    } else {
      wide.push_back(L'?');
      ++i;
    }
  }
  const int units = static_cast<int>(wide.size());
  const int size = ToMulti(CP_UTF8, wide.data(), units, nullptr, 0);
  if (size <= 0) return out;
  out.resize(static_cast<std::size_t>(size));
  ToMulti(CP_UTF8, wide.data(), units, out.data(), size);
  return out;
}

}  // namespace pl
