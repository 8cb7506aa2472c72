#!/usr/bin/env bash
# zentravo-trust-ca.exe in the test prefix: its help, telling trusted from untrusted
# authorities, adding one twice with the same result, PEM and DER files, and a file
# without a certificate. Only the authority that the web tests trust anyway is
# ever added; the second one stays untrusted.
#
# Usage: web_trust_ca_test.sh TOOL.exe WORK_DIR   (the Wine environment as given)
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 TOOL.exe WORK_DIR" >&2
  exit 2
fi
tool=$1
work_dir=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  source "$root/scripts/lib/wine.sh"
  ensure_wine_prefix
fi
wine=${WINE:-wine}

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
"$root/scripts/make-certificates.sh" "$work_dir/certs/trusted" >/dev/null
"$root/scripts/make-certificates.sh" "$work_dir/certs/untrusted" >/dev/null
trusted="Z:$work_dir/certs/trusted/ca.pem"
untrusted="Z:$work_dir/certs/untrusted/ca.pem"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
openssl x509 -in "$work_dir/certs/trusted/ca.pem" -outform der -out "$scratch/ca.der"
echo "not a certificate" > "$scratch/empty.pem"

failures=0
# expect STATUS OUTPUT_PART -- ARGS...: runs the tool and checks both.
expect() {
  local status=$1 part=$2 output actual=0
  shift 3
  # Into a file, not a pipe: the Wine server started with the tool keeps a pipe
  # open for seconds after the tool has ended.
  "$wine" "$tool" "$@" >"$scratch/output" 2>&1 || actual=$?
  output=$(tr -d '\r' <"$scratch/output")
  if [ "$actual" -ne "$status" ] || [[ "$output" != *"$part"* ]]; then
    echo "FAILED: $* -> status $actual, expected $status with \"$part\"; output:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  else
    echo "ok: $* -> $actual"
  fi
}

expect 0 "Usage: zentravo-trust-ca" -- --help
# The project version, as CMakeLists.txt sets it.
version=$(sed -n 's/^project(Zentravo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
expect 0 "zentravo-trust-ca $version" -- --version
expect 2 "Usage: zentravo-trust-ca" --
expect 2 "unknown option" -- --bogus "$trusted"
expect 1 "not trusted: Zentravo Local Test CA" -- --check "$untrusted"
expect 0 "Zentravo Local Test CA" -- "$trusted"
expect 0 "trusted already: Zentravo Local Test CA" -- "$trusted"
expect 0 "trusted already" -- --check "Z:$scratch/ca.der"
expect 0 "" -- --quiet "$trusted"
expect 1 "not trusted" -- --check "$untrusted"
expect 2 "holds no certificate" -- "Z:$scratch/empty.pem"
expect 2 "cannot read" -- "Z:$scratch/missing.pem"

[ "$failures" -eq 0 ]
