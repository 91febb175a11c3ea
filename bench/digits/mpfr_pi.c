/* Baseline for the pi-digits benchmark: the first N digits of pi after the
 * decimal point with MPFR's mpfr_const_pi and mpfr_get_str, written to FILE.
 * usage: mpfr_pi N FILE */
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mpfr_pi N FILE\n");
    return 2;
  }
  long n = atol(argv[1]);
  if (n < 1) return 2;
  mpfr_t pi;
  mpfr_init2(pi, (mpfr_prec_t)((n + 30) * 3.3219280948873623) + 64);
  double t0 = Now();
  mpfr_const_pi(pi, MPFR_RNDZ);
  mpfr_exp_t e;
  double t1 = Now();
  char* s = mpfr_get_str(NULL, &e, 10, (size_t)n + 1, pi, MPFR_RNDZ);
  fprintf(stderr, "phases: constant %.1fs, decimal string %.1fs\n", t1 - t0, Now() - t1);
  FILE* f = fopen(argv[2], "wb");
  if (!f || e != 1 || fwrite(s + 1, 1, (size_t)n, f) != (size_t)n || fclose(f) != 0) return 1;
  mpfr_free_str(s);
  mpfr_clear(pi);
  return 0;
}
