#include "reference.h"

#include <mpfr.h>

#include <cmath>
#include <stdexcept>

namespace pidigits {

std::string MpfrPiDigits(std::uint64_t count) {
  constexpr std::uint64_t kExtra = 20;
  const std::uint64_t want = count + kExtra;  // digits after the point
  mpfr_t pi;
  mpfr_init2(pi, static_cast<mpfr_prec_t>(std::ceil(static_cast<double>(want + 1) * 3.3219280948873623)) + 64);
  // Toward zero twice: the value and its decimal form both stay below pi, so
  // the truncated digits are pi's unless a run of nines follows.
  mpfr_const_pi(pi, MPFR_RNDZ);
  mpfr_exp_t exponent = 0;
  char* text = mpfr_get_str(nullptr, &exponent, 10, static_cast<std::size_t>(want + 1), pi, MPFR_RNDZ);
  mpfr_clear(pi);
  mpfr_free_cache();
  if (text == nullptr) throw std::runtime_error("MPFR could not convert pi to decimal");
  std::string all(text);
  mpfr_free_str(text);
  if (exponent != 1 || all.size() != want + 1 || all[0] != '3')
    throw std::runtime_error("MPFR returned an unexpected form of pi");
  if (all.find_first_not_of('9', count + 1) == std::string::npos) return {};
  return all.substr(1, count);
}

}  // namespace pidigits
