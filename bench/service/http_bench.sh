#!/usr/bin/env bash
# HTTP throughput and latency of pi-service against nginx serving the same
# answer page as a static file, in one run, both on loopback, measured with
# wrk; prints both and the ratio.
#
#   bench/service/http_bench.sh PI_SERVICE DIGITS_FILE [CONNECTIONS] [SECONDS] [THREADS]
#
# Both servers get the same number of threads / worker processes (THREADS,
# default: the number of cores); wrk runs with 2 threads on the same machine.
set -euo pipefail
service=$(realpath "$1")
digits=$(realpath "$2")
conns=${3:-100}
secs=${4:-10}
threads=${5:-$(nproc)}
command -v wrk >/dev/null || { echo "wrk is missing: apt-get install -y wrk" >&2; exit 1; }
command -v nginx >/dev/null || { echo "nginx is missing: apt-get install -y nginx-light" >&2; exit 1; }

work=$(mktemp -d /tmp/pi-http-bench.XXXXXX)
chmod 755 "$work"  # nginx workers run as another user
svc_pid=""
cleanup() {
  [ -n "$svc_pid" ] && kill "$svc_pid" 2>/dev/null && wait "$svc_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

# pi-service on a free port; it prints its address when ready.
"$service" --digits "$digits" --listen 127.0.0.1:0 --threads "$threads" >"$work/service.out" 2>"$work/service.err" &
svc_pid=$!
for _ in $(seq 1 600); do
  grep -q "listening on" "$work/service.out" 2>/dev/null && break
  kill -0 "$svc_pid" 2>/dev/null || { cat "$work/service.err" >&2; exit 1; }
  sleep 0.1
done
svc_url=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$work/service.out")
target="getNextIndex.do?number=926"

# The same page as a static file for nginx.
mkdir -p "$work/www"
curl -s "$svc_url$target" >"$work/www/page.html"
chmod -R a+rX "$work/www"
ngx_port=$(free_port)
cat >"$work/nginx.conf" <<CONF
worker_processes $threads;
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/tmp-body;
  proxy_temp_path $work/tmp-proxy;
  fastcgi_temp_path $work/tmp-fcgi;
  uwsgi_temp_path $work/tmp-uwsgi;
  scgi_temp_path $work/tmp-scgi;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$ngx_port;
    root $work/www;
    location / { default_type "text/html; charset=utf-8"; try_files /page.html =404; }
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf"
ngx_url="http://127.0.0.1:$ngx_port/"
curl -sf "$ngx_url" >/dev/null

run() {  # name url variable
  wrk -t2 -c"$conns" -d"${secs}s" --latency "$2" >"$work/$1.txt" 2>&1
  local rps lat50 lat99 errors non2xx
  rps=$(awk '/^Requests\/sec/ {print $2}' "$work/$1.txt")
  lat50=$(awk '$1=="50%" {print $2}' "$work/$1.txt")
  lat99=$(awk '$1=="99%" {print $2}' "$work/$1.txt")
  errors=$(awk '/Socket errors/ {gsub(",",""); print $4+$6+$8+$10}' "$work/$1.txt")
  non2xx=$(awk '/Non-2xx/ {print $NF}' "$work/$1.txt")
  printf '%-12s %12s %10s %10s %8s\n' "$1" "$rps" "$lat50" "$lat99" "$(( ${errors:-0} + ${non2xx:-0} ))"
  printf -v "$3" "%s" "$rps"
}

echo "wrk -t2 -c$conns -d${secs}s, $threads server threads, page: /$target ($(wc -c <"$work/www/page.html") bytes)"
printf '%-12s %12s %10s %10s %8s\n' server "requests/s" "p50" "p99" errors
run pi-service "$svc_url$target" rps_service
run nginx "$ngx_url" rps_nginx
awk -v a="$rps_service" -v b="$rps_nginx" 'BEGIN { printf "ratio pi-service / nginx: %.2f\n", a / b }'
