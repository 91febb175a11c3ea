#!/usr/bin/env bash
# Side-by-side benchmark of pi-digits against Arb (arb_const_pi + arb_get_str,
# flint_set_num_threads(T)) and MPFR (mpfr_const_pi + mpfr_get_str), at each
# digit count given (default: 10000000 100000000). Checks that all outputs
# agree and prints wall time, peak memory and the ratios to pi-digits.
#
#   bash bench/digits/compare.sh [COUNT...]
#   THREADS=2 BUILD=build/bench-digits OUT=/tmp/pi-bench bash bench/digits/compare.sh 10000000
set -euo pipefail
cd "$(dirname "$0")/../.."

threads=${THREADS:-2}
build=${BUILD:-build/bench-digits}
out=${OUT:-/tmp/pi-bench}
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10000000 100000000)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPI_COMPONENTS="digits;bench" \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target pi-digits mpfr_pi arb_pi >/dev/null
mkdir -p "$out"

# Runs a command, prints "wall_seconds peak_kib cpu_seconds".
measure() {
  local log
  log=$(mktemp)
  /usr/bin/time -f "%e %M %U %S" -o "$log" "$@" >/dev/null 2>"$out/last.err" || {
    echo "failed: $*" >&2
    cat "$out/last.err" >&2
    exit 1
  }
  awk '{printf "%s %s %.1f\n", $1, $2, $3 + $4}' "$log"
  rm -f "$log"
}

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/Mem:/{print $2}') GiB;" \
  "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# The ratio column is the other program's wall time over pi-digits'; on a
# machine shared with other work, the CPU seconds tell the work done apart
# from the share of the cores each program got.
printf '%-12s %-24s %8s %8s %9s %10s\n' digits program "wall s" "cpu s" "peak MiB" "wall ratio"
for n in "${counts[@]}"; do
  read -r t_ours m_ours c_ours < <(measure "$build/digits/pi-digits" --digits "$n" --threads "$threads" --out "$out/pi-digits.txt")
  read -r t_arb m_arb c_arb < <(measure "$build/bench/digits/arb_pi" "$n" "$threads" "$out/arb.txt")
  read -r t_mpfr m_mpfr c_mpfr < <(measure "$build/bench/digits/mpfr_pi" "$n" "$out/mpfr.txt")
  agree=yes
  cmp -s "$out/pi-digits.txt" "$out/arb.txt" || agree=NO
  cmp -s "$out/pi-digits.txt" "$out/mpfr.txt" || agree=NO
  row() { printf '%-12s %-24s %8.1f %8.1f %9d %10s\n' "$n" "$1" "$2" "$3" "$(($4 / 1024))" "$5"; }
  row "pi-digits ($threads threads)" "$t_ours" "$c_ours" "$m_ours" "1.00"
  row "Arb ($threads threads)" "$t_arb" "$c_arb" "$m_arb" "$(awk "BEGIN{printf \"%.2f\", $t_arb/$t_ours}")"
  row "MPFR (1 thread)" "$t_mpfr" "$c_mpfr" "$m_mpfr" "$(awk "BEGIN{printf \"%.2f\", $t_mpfr/$t_ours}")"
  echo "             outputs agree: $agree"
  [ "$agree" = yes ] || exit 1
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
