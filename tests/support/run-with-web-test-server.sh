#!/usr/bin/env bash
# Runs a command while the loopback web test server (web_test_server.py) serves
# plain HTTP, HTTPS with a certificate of a local test authority, and HTTPS with a
# certificate of a second authority that nobody trusts. Stops the server by its
# process id afterwards, also when the command fails or the script is interrupted.
#
# Usage:
#   run-with-web-test-server.sh --work-dir DIR [--trust-tool TOOL.exe] -- COMMAND [ARGS...]
#
#   --work-dir DIR      where the certificates and the port file are kept
#                       (DIR/certs/trusted and DIR/certs/untrusted, made once)
#   --trust-tool EXE    the Windows tool that trusts an authority in the Wine prefix
#                       (zentravo-trust-ca.exe); run under Wine with DIR's trusted
#                       authority before the command
#
# The command finds the ports in the environment:
#   ZENTRAVO_TEST_HTTP_PORT, ZENTRAVO_TEST_HTTPS_PORT,
#   ZENTRAVO_TEST_UNTRUSTED_HTTPS_PORT, ZENTRAVO_TEST_CLOSED_PORT
# The Wine environment (WINEPREFIX, LC_ALL, WINEDEBUG, DISPLAY) is taken as given;
# without a WINEPREFIX the project's own prefix is used.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

usage() {
  sed -n '7,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

work_dir=
trust_tool=
while [ $# -gt 0 ]; do
  case "$1" in
    --work-dir) work_dir=$2; shift 2 ;;
    --trust-tool) trust_tool=$2; shift 2 ;;
    --) shift; break ;;
    -h|--help) usage ;;
    *) echo "$0: unknown option $1" >&2; usage ;;
  esac
done
[ -n "$work_dir" ] && [ $# -gt 0 ] || usage

if [ -z "${WINEPREFIX:-}" ]; then
  source "$root/scripts/lib/wine.sh"
  ensure_wine_prefix
fi
wine=${WINE:-wine}

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
"$root/scripts/make-certificates.sh" "$work_dir/certs/trusted" >/dev/null
"$root/scripts/make-certificates.sh" "$work_dir/certs/untrusted" >/dev/null

ports_file=$(mktemp "$work_dir/ports.XXXXXX")
rm -f "$ports_file"
python3 "$here/web_test_server.py" --ports-file "$ports_file" \
  --cert "$work_dir/certs/trusted/localhost.pem" --key "$work_dir/certs/trusted/localhost.key" \
  --untrusted-cert "$work_dir/certs/untrusted/localhost.pem" \
  --untrusted-key "$work_dir/certs/untrusted/localhost.key" &
server_pid=$!

stop_server() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  rm -f "$ports_file"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

tries=0
until [ -s "$ports_file" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$server_pid" 2>/dev/null; then
    echo "$0: the web test server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
port() { sed -n "s/^$1=//p" "$ports_file"; }
export ZENTRAVO_TEST_HTTP_PORT=$(port http)
export ZENTRAVO_TEST_HTTPS_PORT=$(port https)
export ZENTRAVO_TEST_UNTRUSTED_HTTPS_PORT=$(port untrusted_https)
export ZENTRAVO_TEST_CLOSED_PORT=$(port closed)

if [ -n "$trust_tool" ]; then
  # Drive Z: is the root of the Unix file system in every prefix.
  "$wine" "$trust_tool" --quiet "Z:$work_dir/certs/trusted/ca.pem"
fi

status=0
"$@" || status=$?
exit "$status"
