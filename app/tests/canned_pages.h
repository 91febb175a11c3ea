// Pages as the pi-digit service answers them (UTF-8), for the handler and
// window tests.
#pragma once

#include <string_view>

#include "text/text.h"

namespace pl::testing {

inline Bytes Utf8(std::u8string_view s) { return Bytes(std::string_view(reinterpret_cast<const char*>(s.data()), s.size())); }

// getNextIndex.do?number=926: found at place 5.
inline Bytes PositionFoundPage() {
  return Utf8(
      u8"<html><body><p>您要找的数字在小数点后第<strong class=\"text-primary\">5</strong>位</p>"
      u8"<p>前后数字：<span>1415</span><strong class=\"text-danger\">926</strong><span>5358979323</span></p>"
      u8"<p>执行用时<strong class=\"text-primary\">0.012</strong>秒</p></body></html>");
}

// getNextIndex.do?number=...: the digits do not occur (the position is empty).
inline Bytes PositionNotFoundPage() {
  return Utf8(
      u8"<html><body><p>没有找到<strong class=\"text-primary\"></strong></p>"
      u8"<p>执行用时<strong class=\"text-primary\">0.300</strong>秒</p></body></html>");
}

// getNumber.do?index=5: the digit 9 with the digits around it.
inline Bytes DigitsFoundPage() {
  return Utf8(
      u8"<html><body><p>小数点后第<strong class=\"text-primary\">5</strong>位</p>"
      u8"<p>数字是：<span>1415</span><strong class = \"text-primary\">9</strong><span>2653589793</span></p>"
      u8"<p>执行用时<strong class=\"text-primary\">0.002</strong>秒</p></body></html>");
}

// getNumber.do?index=...: the place is outside the digits (empty place).
inline Bytes DigitsNotFoundPage() {
  return Utf8(
      u8"<html><body><p>小数点后第<strong class=\"text-primary\"></strong>位不在范围内</p>"
      u8"<p>执行用时<strong class=\"text-primary\">0.001</strong>秒</p></body></html>");
}

// An answer without any of the markers (an error page of some server).
inline Bytes PageWithoutMarkers() { return Utf8(u8"<html><body>503 Service Unavailable</body></html>"); }

}  // namespace pl::testing
