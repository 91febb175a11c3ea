// An independent source of pi's digits, for checking: MPFR's mpfr_const_pi,
// which uses a different method and library from ComputePiDigits.
#pragma once

#include <cstdint>
#include <string>

namespace pidigits {

// The first `count` digits after the decimal point from MPFR, or an empty
// string when MPFR's value cannot decide them (the 20 digits after them are
// all nines, which the rounding might have carried).
std::string MpfrPiDigits(std::uint64_t count);

}  // namespace pidigits
