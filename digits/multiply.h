// Products of large GMP integers on several threads.
//
// Every large product of the computation goes through here, so that the
// multiplication method can be chosen in one place.
#pragma once

#include <gmpxx.h>

namespace pidigits {

// r = x * y on up to `threads` threads (>= 1). r may alias x or y.
void Multiply(mpz_class& r, const mpz_class& x, const mpz_class& y, unsigned threads);

// r = x * x on up to `threads` threads. r may alias x.
void Square(mpz_class& r, const mpz_class& x, unsigned threads);

}  // namespace pidigits
