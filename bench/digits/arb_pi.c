/* Baseline for the pi-digits benchmark: the first N digits of pi after the
 * decimal point with Arb's arb_const_pi and arb_get_str on T threads,
 * written to FILE. usage: arb_pi N T FILE */
#include <arb.h>
#include <flint/flint.h>
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
  if (argc != 4) {
    fprintf(stderr, "usage: arb_pi N THREADS FILE\n");
    return 2;
  }
  slong n = atol(argv[1]);
  int threads = atoi(argv[2]);
  if (n < 1 || threads < 1) return 2;
  flint_set_num_threads(threads);
  arb_t pi;
  arb_init(pi);
  double t0 = Now();
  arb_const_pi(pi, (slong)((n + 30) * 3.3219280948873623) + 64);
  /* n + 1 significant digits: "3." then n digits (the radius is dropped). */
  double t1 = Now();
  char* s = arb_get_str(pi, n + 1, ARB_STR_NO_RADIUS);
  fprintf(stderr, "phases: constant %.1fs, decimal string %.1fs\n", t1 - t0, Now() - t1);
  FILE* f = fopen(argv[3], "wb");
  if (!f || strncmp(s, "3.", 2) != 0 || fwrite(s + 2, 1, (size_t)n, f) != (size_t)n ||
      fclose(f) != 0)
    return 1;
  flint_free(s);
  arb_clear(pi);
  flint_cleanup();
  return 0;
}
