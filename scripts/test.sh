#!/usr/bin/env bash
# The test command: installs what a fresh Debian 12 machine lacks, builds and
# runs every test. With --sanitize the same suite runs in a separate build
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=plain
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  *) echo "usage: bash scripts/test.sh [--sanitize]" >&2; exit 2 ;;
esac

bash scripts/deps.sh

jobs=$(nproc)
# Every folder is built: -U drops a narrower PI_COMPONENTS that an earlier
# configure of the same build folder may have left in its cache.
if [ "$mode" = sanitize ]; then
  dir=build/asan
  cmake -S . -B "$dir" -G Ninja -UPI_COMPONENTS -DCMAKE_BUILD_TYPE=Debug -DPI_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build/test
  cmake -S . -B "$dir" -G Ninja -UPI_COMPONENTS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPI_SANITIZE=OFF
fi
cmake --build "$dir" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
# A build that yields no tests is a failure, not a pass.
# No single test may hang the run: each is stopped after 10 minutes.
ctest --test-dir "$dir" --output-on-failure --no-tests=error --timeout 600 -j "$jobs"
