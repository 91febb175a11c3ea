// Failure output for texts in the app's tests: the code page 936 bytes shown
// as the characters they stand for.
#pragma once

#include <ostream>

#include "text/text.h"

namespace pl {

inline void PrintTo(const Text& t, std::ostream* os) { *os << '"' << Cp936ToUtf8(t) << '"'; }

}  // namespace pl
