#!/usr/bin/env bash
# Two pi-service replicas behind nginx on loopback ports: a few thousand
# lookups go through nginx, one replica is stopped halfway, and every answer
# must still be right with none failed.
#
#   deploy/failover_test.sh PI_SERVICE PI_DIGITS [WORK_DIR]
set -euo pipefail
service=$(realpath "$1")
digits_tool=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=${3:-$(mktemp -d)}
mkdir -p "$work"
work=$(realpath "$work")

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

wait_for() {  # port
  for _ in $(seq 1 300); do
    if python3 - "$1" <<'PY' 2>/dev/null; then return 0; fi
import http.client, sys
c = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]), timeout=1)
c.request("GET", "/getNumber.do?index=1")
sys.exit(0 if c.getresponse().status == 200 else 1)
PY
    sleep 0.1
  done
  echo "port $1 never answered" >&2
  return 1
}

file="$work/pi-digits.txt"
[ -f "$file" ] || "$digits_tool" --digits 200000 --out "$file" >/dev/null 2>&1

p1=$(free_port); p2=$(free_port); lb=$(free_port)
"$service" --digits "$file" --listen "127.0.0.1:$p1" --threads 1 >"$work/replica1.log" 2>&1 &
pids+=($!); r1=$!
wait_for "$p1"   # the first replica builds the shared index; the second maps it
"$service" --digits "$file" --listen "127.0.0.1:$p2" --threads 1 >"$work/replica2.log" 2>&1 &
pids+=($!)
wait_for "$p2"

# The shipped balancer configuration, pointed at this run's ports.
sed -e "s/127.0.0.1:8315/127.0.0.1:$p1/; s/127.0.0.1:8316/127.0.0.1:$p2/; s/listen 8314;/listen 127.0.0.1:$lb;/" \
  "$here/nginx-pi-lookup.conf" >"$work/upstream.conf"
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/tmp-body;
  proxy_temp_path $work/tmp-proxy;
  fastcgi_temp_path $work/tmp-fcgi;
  uwsgi_temp_path $work/tmp-uwsgi;
  scgi_temp_path $work/tmp-scgi;
  include $work/upstream.conf;
}
CONF
nginx -p "$work" -c "$work/nginx.conf"
wait_for "$lb"

python3 "$here/failover_client.py" --port "$lb" --digits "$file" --requests 3000 --clients 8 \
  --seconds 120 --midway "kill $r1"
