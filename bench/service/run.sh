#!/usr/bin/env bash
# The service's benchmarks: lookup latency (Google Benchmark) and HTTP
# throughput against nginx (http_bench.sh).
#
#   bench/service/run.sh [BUILD_DIR]        (default build/release)
#
# Runs over the billion-digit file of pi-digits when it is there, else over
# ten million digits computed once with MPFR into the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
[ -d "$build" ] || { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; }
cmake --build "$build" -j2 --target pi-service pi-test-digits service_lookup_bench >/dev/null

data=${XDG_DATA_HOME:-$HOME/.local/share}/pi-lookup/pi-digits.txt
if [ -f "$data" ] && [ "$(stat -c %s "$data")" -ge 1000000000 ]; then
  digits=$data
else
  digits=$build/bench/service/pi-1e7.txt
  if [ ! -s "$digits" ]; then
    echo "Computing 10,000,000 digits of pi with MPFR into $digits (once)"
    "$build/service/pi-test-digits" 10000000 "$digits"
  fi
fi

"$build/bench/service/service_lookup_bench" --digits "$digits" --benchmark_min_time=0.2
bash bench/service/http_bench.sh "$build/service/pi-service" "$digits" 100 10
