#!/usr/bin/env bash
# The run command: installs what is missing, builds the programs in Release,
# computes the digits and the service's index on the first run, starts the
# pi-digit service and opens the window. Closing the window stops the
# service that this command started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh

build=build/release
stage=$build/stage
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target pi-lookup pi-service pi-digits
cmake --install "$build" --prefix "$stage" >/dev/null
bin=$root/$stage/bin

data=${XDG_DATA_HOME:-$HOME/.local/share}/pi-lookup
digits=$data/pi-digits.txt
host=127.0.0.1
port=8314
address="http://$host:$port/"
log=$data/pi-service.log
mkdir -p "$data"

answers() {
  # The service answers when a place lookup comes back with status 200.
  (
    exec 3<>"/dev/tcp/$host/$port" || exit 1
    printf 'GET /getNumber.do?index=1 HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n\r\n' "$host" >&3
    IFS= read -r -t 5 status <&3 || exit 1
    [[ $status == "HTTP/1.1 200"* ]]
  ) 2>/dev/null
}

started=""
if answers; then
  echo "A pi-digit service already answers at $address; using it."
else
  if [ ! -s "$digits" ]; then
    echo "First run: computing 1,000,000,000 digits of pi into $digits"
    "$bin/pi-digits" --out "$digits"
  fi
  echo "Preparing the service's index (built once, beside the digits)"
  "$bin/pi-service" --digits "$digits" --build-index
  echo "Starting pi-service on $host:$port (log: $log)"
  nohup "$bin/pi-service" --digits "$digits" --listen "$host:$port" >>"$log" 2>&1 &
  started=$!
  for _ in $(seq 1 600); do
    answers && break
    if ! kill -0 "$started" 2>/dev/null; then
      echo "pi-service stopped; see $log" >&2
      exit 1
    fi
    sleep 0.1
  done
  answers || { echo "pi-service did not answer; see $log" >&2; exit 1; }
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display, so the window cannot open."
  echo "The service keeps running: its web page is $address"
  [ -n "$started" ] && echo "Stop it with: kill $started"
  exit 0
fi

status=0
"$bin/pi-lookup" || status=$?
if [ -n "$started" ]; then
  kill "$started" 2>/dev/null || true
  wait "$started" 2>/dev/null || true
fi
exit $status
