#include "app/win32/wide_text.h"

#include "text/codepage_win32.h"

namespace pl {

namespace {
constexpr unsigned kCp936 = 936;
}

std::wstring WideFromText(const Text& text) {
  std::wstring wide;
  if (text.empty()) return wide;
  const int n = TextLength(text);
  const int units = MultiByteToWide(kCp936, 0, text.c_str(), n, nullptr, 0);
  if (units <= 0) return wide;
  wide.resize(static_cast<std::size_t>(units));
  MultiByteToWide(kCp936, 0, text.c_str(), n, wide.data(), units);
  return wide;
}

Text TextFromWide(std::wstring_view wide) {
  if (wide.empty()) return Text();
  const int n = static_cast<int>(wide.size());
  const int bytes = WideToMultiByte(kCp936, wide.data(), n, nullptr, 0);
  if (bytes <= 0) return Text();
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideToMultiByte(kCp936, wide.data(), n, out.data(), bytes);
  return Text(out);
}

}  // namespace pl
