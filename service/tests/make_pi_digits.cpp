// pi-test-digits N FILE: writes the first N digits of pi after the decimal
// point to FILE (plain ASCII digits, no "3.", no newline), computed with
// MPFR. Tests and benchmarks make their digits files with it, so nothing is
// downloaded and no digits are stored in the sources.
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pi-test-digits N FILE\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long long n = std::strtoull(argv[1], &end, 10);
  if (*end || n == 0 || n > 2'000'000'000ULL) {
    std::fprintf(stderr, "pi-test-digits: N must be from 1 to 2000000000\n");
    return 2;
  }
  // 20 digits more than kept, cut off (not rounded), so that the kept ones
  // are exact unless pi held twenty 9s in a row there.
  const std::size_t want = static_cast<std::size_t>(n) + 1 + 20;
  mpfr_t pi;
  mpfr_init2(pi, static_cast<mpfr_prec_t>(std::ceil(static_cast<double>(want) * 3.3219280948873623) + 64));
  mpfr_const_pi(pi, MPFR_RNDZ);
  mpfr_exp_t exp = 0;
  char* s = mpfr_get_str(nullptr, &exp, 10, want, pi, MPFR_RNDZ);
  if (!s || exp != 1 || s[0] != '3') {
    std::fprintf(stderr, "pi-test-digits: unexpected result from MPFR\n");
    return 1;
  }
  const std::string tmp = std::string(argv[2]) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f && std::fwrite(s + 1, 1, static_cast<std::size_t>(n), f) == n;
  ok = f && std::fclose(f) == 0 && ok;
  mpfr_free_str(s);
  mpfr_clear(pi);
  mpfr_free_cache();
  if (!ok || std::rename(tmp.c_str(), argv[2]) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
