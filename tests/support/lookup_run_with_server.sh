#!/usr/bin/env bash
# Runs a command while a lookup server answers HTTPS on 127.0.0.1 at the port where
# Zentravo.exe built for the host "localhost:PORT" sends its lookups (443 when its
# address names no port, which needs root or CAP_NET_BIND_SERVICE). The server is the
# lookup test server (lookup_test_server.py), which records every request, or with
# --service the real lookup service. Its certificate is for "localhost", from a
# local test authority that is trusted inside the current Wine prefix only. The
# server is stopped by its process id afterwards, also when the command fails or
# the script is interrupted. A port that is taken is waited for.
#
# Usage:
#   lookup_run_with_server.sh --work-dir DIR [--port PORT] [--service PROGRAM]
#                             [--trust-tool TOOL.exe] [--] COMMAND [ARGS...]
#
#   --work-dir DIR      where the certificates (DIR/certs, made once), the request
#                       record and the server's output are kept
#   --port PORT         the port on 127.0.0.1 to serve (default 443)
#   --service PROGRAM   run the lookup service PROGRAM instead of the test server;
#                       a PROGRAM that does not exist fails the run, saying so
#   --trust-tool EXE    zentravo-trust-ca.exe, run under Wine to trust the authority;
#                       by default the one beside COMMAND
#
# A COMMAND ending in ".exe" runs under Wine. It finds in the environment:
#   ZENTRAVO_LOOKUP_RECORD   the test server's record file (a Unix path; drive Z:
#                            in the prefix); not set for --service
# The Wine environment (WINEPREFIX, LC_ALL, WINEDEBUG, DISPLAY, WINE) is taken as
# given; without a WINEPREFIX the project's own prefix is used.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

usage() {
  sed -n '11,27p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

work_dir=
port=443
service=
trust_tool=
while [ $# -gt 0 ]; do
  case "$1" in
    --work-dir) work_dir=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --service) service=$2; shift 2 ;;
    --trust-tool) trust_tool=$2; shift 2 ;;
    --) shift; break ;;
    -h|--help) usage ;;
    -*) echo "$0: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ -n "$work_dir" ] && [ $# -gt 0 ] || usage

if [ -n "$service" ] && [ ! -x "$service" ]; then
  echo "$0: FAILED: no lookup service at $service: build the native preset first" \
       "(cmake --preset native && cmake --build --preset native)" >&2
  exit 1
fi

if [ -z "${WINEPREFIX:-}" ]; then
  source "$root/scripts/lib/wine.sh"
  ensure_wine_prefix
fi
wine=${WINE:-wine}

command=("$@")
if [[ "${command[0]}" == *.exe ]]; then
  [ -n "$trust_tool" ] || trust_tool="$(dirname "${command[0]}")/zentravo-trust-ca.exe"
  command=("$wine" "${command[@]}")
fi

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
certs="$work_dir/certs"
"$root/scripts/make-certificates.sh" "$certs" >/dev/null

record="$work_dir/requests.record"
output="$work_dir/server.out"
ready="$work_dir/server.ready"
rm -f "$record" "$ready"
server_pid=

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -f "$ready"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

if [ -z "$service" ]; then
  python3 "$here/lookup_test_server.py" --address 127.0.0.1 --port "$port" \
    --cert "$certs/localhost.pem" --key "$certs/localhost.key" \
    --record "$record" --ready-file "$ready" >"$output" 2>&1 &
  server_pid=$!
  # The test server waits for a taken port itself.
  tries=0
  until [ -s "$ready" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 1300 ] || ! kill -0 "$server_pid" 2>/dev/null; then
      echo "$0: the lookup test server did not start:" >&2
      cat "$output" >&2
      exit 1
    fi
    sleep 0.1
  done
  export ZENTRAVO_LOOKUP_RECORD="$record"
else
  # The service ends at once when the port is taken: start it again until it listens.
  deadline=$((SECONDS + 120))
  while :; do
    "$service" --address 127.0.0.1 --port "$port" \
      --cert "$certs/localhost.pem" --key "$certs/localhost.key" >"$output" 2>&1 &
    server_pid=$!
    until grep -q "^listening on " "$output" || ! kill -0 "$server_pid" 2>/dev/null; do
      sleep 0.1
    done
    grep -q "^listening on " "$output" && break
    wait "$server_pid" 2>/dev/null || true
    server_pid=
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "$0: the lookup service did not start:" >&2
      cat "$output" >&2
      exit 1
    fi
    sleep 0.5
  done
fi

if [ -n "$trust_tool" ]; then
  # Drive Z: is the root of the Unix file system in every prefix.
  trusted=0
  "$wine" "$trust_tool" --quiet "Z:$certs/ca.pem" || trusted=$?
  if [ "$trusted" -ne 0 ]; then
    echo "$0: FAILED: $trust_tool could not trust the test authority in $WINEPREFIX (status $trusted)" >&2
    exit 1
  fi
fi

status=0
"${command[@]}" || status=$?
exit "$status"
