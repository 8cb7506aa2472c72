#!/usr/bin/env bash
# Load test of the lookup service over HTTPS with keep-alive on loopback, against
# nginx serving a 10-byte static file over HTTPS with the same certificate, in the
# same run and under the same wrk settings. The two take turns for ROUNDS rounds,
# so that whatever else the machine does weighs on both alike. Prints each round,
# both mean request rates and their ratio; fails when either side had errors or
# the service reaches less than MIN_RATIO of nginx's rate.
#
#   bench/service/load-test.sh [BUILD_DIR]     (default build/bench, the bench preset)
#
# Settings from the environment: CONNECTION (keep-alive, the default, or close:
# a new connection and TLS handshake for every request, as Zentravo.exe makes
# them; the first line printed names the mode), ROUNDS (default 3), DURATION
# (seconds per wrk run, default 5), CONNECTIONS (default 64), WRK_THREADS
# (default 1), SERVER_THREADS (service threads and nginx workers, default 1),
# MIN_RATIO (default 0.70).
# nginx gets the service's TLS policy: TLS 1.2 and 1.3 (nginx 1.22 leaves 1.3
# off unless asked, and resuming a TLS 1.2 session skips the key exchange that
# TLS 1.3 always makes), the same TLS 1.2 suites in the server's order, the same
# TLS 1.3 suites, groups, and session resumption by ticket and from a session cache.
# When the machine has enough processors, the servers and wrk are pinned to
# separate ones, so that they do not take turns on one. Besides the rates, each
# server's processor time per request is printed: it barely depends on what else
# the machine is doing.
# nginx runs as a foreground process with its own prefix and configuration in a
# temporary folder of the build; the system's nginx is untouched.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/bench}
mkdir -p "$build"
build=$(cd "$build" && pwd)
rounds=${ROUNDS:-3}
duration=${DURATION:-5}
connections=${CONNECTIONS:-64}
wrk_threads=${WRK_THREADS:-1}
server_threads=${SERVER_THREADS:-1}
min_ratio=${MIN_RATIO:-0.70}
connection=${CONNECTION:-keep-alive}
wrk_headers=()
case $connection in
  keep-alive) echo "mode: keep-alive" ;;
  close) echo "mode: new connection per request"; wrk_headers=(-H "Connection: close") ;;
  *) echo "load-test: CONNECTION is keep-alive or close, not '$connection'" >&2; exit 2 ;;
esac

for tool in wrk nginx python3 openssl; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin command -v "$tool" >/dev/null ||
    { echo "load-test: $tool is missing (scripts/setup.sh --bench installs it)" >&2; exit 1; }
done
nginx_bin=$(PATH=$PATH:/usr/sbin command -v nginx)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset bench -B "$build" >/dev/null
fi
cmake --build "$build" --target zentravo-lookup-service >/dev/null
service="$build/bin/zentravo-lookup-service"

certificates="$build/load-test-certificates"
scripts/make-certificates.sh "$certificates" >/dev/null

work=$(mktemp -d "$build/load-test.XXXXXX")
service_pid=""
nginx_pid=""
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Processor lists for the servers and for wrk, or nothing when there are too few.
server_cpus=""
wrk_cpus=""
read -r server_cpus wrk_cpus < <(python3 - "$server_threads" "$wrk_threads" <<'PY'
import os, sys
cpus = sorted(os.sched_getaffinity(0))
servers, clients = int(sys.argv[1]), int(sys.argv[2])
if len(cpus) >= servers + clients:
    print(",".join(map(str, cpus[:servers])), ",".join(map(str, cpus[servers:servers + clients])))
PY
) || true
pin_server=()
pin_wrk=()
if [ -n "$server_cpus" ]; then
  pin_server=(taskset -c "$server_cpus")
  pin_wrk=(taskset -c "$wrk_cpus")
fi

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {  # port: waits up to 10 s for something to listen on it
  for _ in $(seq 100); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $1), 0.2)" 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# The service, on a port it picks; the first line it prints names it.
timeout $((rounds * (duration + 30) * 2 + 60)) "${pin_server[@]}" "$service" --address 127.0.0.1 --port 0 --threads "$server_threads" \
  --connections-per-client $((connections * 2)) \
  --cert "$certificates/localhost.pem" --key "$certificates/localhost.key" >"$work/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 100); do
  grep -q '^listening on ' "$work/service.out" && break
  sleep 0.1
done
service_port=$(sed -n 's/^listening on https:\/\/127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/service.out")
[ -n "$service_port" ] || { echo "load-test: the service did not start:" >&2; cat "$work/service.out" >&2; exit 1; }

# nginx with a private prefix; its workers run as the invoking user. The TLS
# suites are the service's own lists (service/tls_policy.h).
tls12_ciphers=$(sed -n '/kTls12Ciphers =/,/;/p' service/tls_policy.h | grep -o '"[^"]*"' | tr -d '"\n')
tls13_ciphers=$(sed -n '/kTls13Ciphers =/,/;/p' service/tls_policy.h | grep -o '"[^"]*"' | tr -d '"\n')
[ -n "$tls12_ciphers" ] && [ -n "$tls13_ciphers" ] ||
  { echo "load-test: cannot read the TLS suites from service/tls_policy.h" >&2; exit 1; }
nginx_port=$(free_port)
mkdir -p "$work/www" "$work/temp"
printf '0123456789' >"$work/www/ten.txt"
user_line=""
[ "$(id -u)" -eq 0 ] && user_line="user root;"
cat >"$work/nginx.conf" <<CONF
$user_line
daemon off;
master_process on;
worker_processes $server_threads;
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  default_type text/plain;
  keepalive_timeout 60s;
  keepalive_requests 100000000;
  server {
    listen 127.0.0.1:$nginx_port ssl;
    ssl_certificate $certificates/localhost.pem;
    ssl_certificate_key $certificates/localhost.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    ssl_ciphers $tls12_ciphers;
    ssl_prefer_server_ciphers on;
    ssl_conf_command Ciphersuites $tls13_ciphers;
    ssl_ecdh_curve X25519:prime256v1:secp384r1;
    ssl_session_cache shared:SSL:10m;
    ssl_session_tickets on;
    root $work/www;
  }
}
CONF
timeout $((rounds * (duration + 30) * 2 + 60)) "${pin_server[@]}" "$nginx_bin" -p "$work" -c "$work/nginx.conf" -e "$work/nginx-error.log" &
nginx_pid=$!
wait_for_port "$nginx_port" || { echo "load-test: nginx did not start:" >&2; cat "$work/nginx-error.log" >&2; exit 1; }

cpu_ticks() {  # pid...: user and system time of the processes, in clock ticks
  local total=0 pid
  for pid in "$@"; do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
  done
  echo "$total"
}
server_pids() {  # name: the processes that do the serving, below their timeout
  case $1 in
    service) pgrep -P "$service_pid" | tr '\n' ' ' ;;
    nginx) pgrep -P "$(pgrep -P "$nginx_pid" | head -n 1)" | tr '\n' ' ' ;;  # the workers
  esac
}

run_wrk() {  # name round url: one wrk run; keeps NAME.ROUND.wrk and NAME.ROUND.cpu
  local name=$1 round=$2 url=$3 before after
  before=$(cpu_ticks $(server_pids "$name"))
  timeout $((duration + 30)) "${pin_wrk[@]}" wrk --threads "$wrk_threads" --connections "$connections" \
    --duration "${duration}s" --timeout 5s "${wrk_headers[@]}" "$url" >"$work/$name.$round.wrk"
  after=$(cpu_ticks $(server_pids "$name"))
  echo $((after - before)) >"$work/$name.$round.cpu"
  printf '%-8s round %d: %10s requests/s\n' "$name" "$round" \
    "$(awk '/^Requests\/sec:/ { print $2 }' "$work/$name.$round.wrk")"
}

check_answer() {  # url expected: one request before the load, so a wrong answer fails early
  local body
  body=$(curl_like "$1")
  [ "$body" = "$2" ] || { echo "load-test: $1 answered '$body', not '$2'" >&2; exit 1; }
}
curl_like() {
  python3 - "$1" "$certificates/ca.pem" <<'PY'
import ssl, sys, urllib.request
context = ssl.create_default_context(cafile=sys.argv[2])
print(urllib.request.urlopen(sys.argv[1], context=context, timeout=10).read().decode(), end="")
PY
}

service_url="https://localhost:$service_port/weibo/brellik.php?url=https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg"
nginx_url="https://localhost:$nginx_port/ten.txt"
check_answer "$service_url" 2634877355
check_answer "$nginx_url" 0123456789

echo "wrk: $wrk_threads thread(s), $connections connections, ${duration}s per run; $server_threads server thread(s)" \
  "${server_cpus:+(servers on processor $server_cpus, wrk on $wrk_cpus)}"
for round in $(seq "$rounds"); do
  run_wrk nginx "$round" "${nginx_url/localhost/127.0.0.1}"
  run_wrk service "$round" "${service_url/localhost/127.0.0.1}"
done

rate() {  # name: mean requests/s over the rounds
  cat "$work/$1".*.wrk | awk '/^Requests\/sec:/ { sum += $2; n++ } END { printf "%.0f", (n ? sum / n : 0) }'
}
errors() {  # name: socket errors and non-2xx answers over the rounds
  cat "$work/$1".*.wrk | awk '/Socket errors:/ { gsub(",", ""); n += $4 + $6 + $8 + $10 }
                              /Non-2xx or 3xx responses:/ { n += $5 } END { print n + 0 }'
}

cpu_per_request() {  # name: server processor time per request over the rounds, in microseconds
  local ticks requests
  ticks=$(cat "$work/$1".*.cpu | awk '{ n += $1 } END { print n + 0 }')
  requests=$(cat "$work/$1".*.wrk | awk '/requests in/ { n += $1 } END { print n + 0 }')
  awk -v t="$ticks" -v r="$requests" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.1f", (r ? t / hz * 1e6 / r : 0) }'
}

nginx_rate=$(rate nginx)
service_rate=$(rate service)
nginx_errors=$(errors nginx)
service_errors=$(errors service)
ratio=$(awk -v s="$service_rate" -v n="$nginx_rate" 'BEGIN { printf "%.3f", (n > 0 ? s / n : 0) }')

echo
echo "nginx:   $nginx_rate requests/s, $nginx_errors errors, $(cpu_per_request nginx) us of processor per request"
echo "service: $service_rate requests/s, $service_errors errors, $(cpu_per_request service) us of processor per request"
echo "ratio:   $ratio (at least $min_ratio wanted)"

status=0
if [ "$nginx_errors" -ne 0 ] || [ "$service_errors" -ne 0 ]; then
  echo "load-test: FAILED: errors during the load" >&2
  status=1
fi
if ! awk -v r="$ratio" -v m="$min_ratio" 'BEGIN { exit !(r >= m) }'; then
  echo "load-test: FAILED: the service reached $ratio of nginx's rate" >&2
  status=1
fi
exit $status
