#!/usr/bin/env bash
# Runs the README's load-balancer example, docs/haproxy-example.cfg, on loopback:
# two instances of the service (a release build) behind HAProxy, all on free
# ports, LOOKUPS lookups (default 400) from four clients at once; midway one
# instance gets SIGTERM. Every lookup must be answered with the right UID, the
# stopped instance must exit 0, and both must have served some.
#
#   tests/package/load-balancer-test.sh
#
# It runs HAProxy as its own foreground process with the example's file; a
# haproxy service of the system, if any, is left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/package/common.sh

lookups=${LOOKUPS:-400}
clients=4
require_tools cmake ninja haproxy openssl curl python3
build_release_service
work=$(mktemp -d "$PWD/build/package-service/balancer.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

certificates=build/package-service/certificates/first
scripts/make-certificates.sh "$certificates" >/dev/null
ca="$PWD/$certificates/ca.pem"

start_instance() {
  local name=$1 port=$2
  "$SERVICE_BINARY" --address 127.0.0.1 --port "$port" --threads 1 --cert "$certificates/localhost.pem" \
    --key "$certificates/localhost.key" >"$work/$name.out" 2>"$work/$name.err" &
  pids+=($!)
  wait_for_line "$work/$name.out" "^listening on " || fail "$name did not start: $(cat "$work/$name.err")"
}
port1=$(free_port)
start_instance instance1 "$port1"
instance1_pid=${pids[-1]}
port2=$(free_port)
start_instance instance2 "$port2"

cat "$certificates/localhost.pem" "$certificates/localhost.key" >"$work/frontend.pem"
balancer_port=$(free_port)
export ZENTRAVO_LB_ADDRESS=127.0.0.1 ZENTRAVO_LB_PORT=$balancer_port ZENTRAVO_LB_CERT=$work/frontend.pem
export ZENTRAVO_HOST=localhost ZENTRAVO_CA=$ca
export ZENTRAVO_INSTANCE1=127.0.0.1:$port1 ZENTRAVO_INSTANCE2=127.0.0.1:$port2
haproxy -c -q -f docs/haproxy-example.cfg || fail "haproxy refuses the example configuration"
haproxy -db -f docs/haproxy-example.cfg >"$work/haproxy.log" 2>&1 &
pids+=($!)
# Ready when both instances have passed their health checks ("rise 2" at 1 s).
for name in instance1 instance2; do
  wait_for_line "$work/$name.err" ' 200 [0-9]+us GET /healthz$' ||
    fail "no health check reached $name: $(cat "$work/haproxy.log")"
done
sleep 2.5
lookup "$balancer_port" "$ca" >/dev/null || fail "no lookup through the balancer: $(cat "$work/haproxy.log")"
pass "haproxy on port $balancer_port in front of instances on $port1 and $port2"

# Four clients, each a share of the lookups one after another, each lookup a new
# connection; each writes one line per lookup: its HTTP status and body.
per_client=$((lookups / clients))
client_pids=()
for ((c = 0; c < clients; c++)); do
  (
    for ((i = 0; i < per_client; i++)); do
      answer=$(lookup "$balancer_port" "$ca" 2>&1) || answer="failed: $answer"
      echo "$answer"
    done
  ) >"$work/client$c.txt" &
  client_pids+=($!)
  pids+=($!)
done

# Midway, the first instance is told to stop while the lookups go on.
while [ "$(cat "$work"/client*.txt | wc -l)" -lt $((lookups / 2)) ]; do sleep 0.05; done
kill -TERM "$instance1_pid"
status=0
wait "$instance1_pid" || status=$?
[ "$status" -eq 0 ] || fail "instance1 exited with $status after SIGTERM"
stopped_after=$(cat "$work"/client*.txt | wc -l)
for pid in "${client_pids[@]}"; do wait "$pid"; done

answered=$(cat "$work"/client*.txt | grep -cx 2634877355 || true)
if [ "$answered" -ne $((per_client * clients)) ]; then
  grep -vxh 2634877355 "$work"/client*.txt | sort | uniq -c | head -5 >&2
  fail "$answered of $((per_client * clients)) lookups answered"
fi
served1=$(grep -c ' POST /weibo/brellik\.php$' "$work/instance1.err" || true)
served2=$(grep -c ' POST /weibo/brellik\.php$' "$work/instance2.err" || true)
[ "$served1" -gt 0 ] && [ "$served2" -gt 0 ] || fail "the lookups were not shared: $served1 and $served2"
pass "$answered of $answered lookups answered; instance1 got SIGTERM after $stopped_after, exited 0"
pass "instance1 served $served1, instance2 $served2 (with the balancer's retries, a lookup may reach both)"
echo "load-balancer-test: passed, no lookup lost."
