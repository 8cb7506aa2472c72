#!/usr/bin/env bash
# The lookup service's Debian package, built from a release build of the service:
#   - the same inputs give the same .deb bytes;
#   - lintian finds no error; systemd-analyze accepts the unit and rates its
#     sandbox;
#   - the service, started as its unit starts it (its user, its capabilities, the
#     shipped settings file pointing at a test certificate, on a free loopback
#     port), answers a lookup and /healthz; SIGHUP after swapping the certificate
#     serves the new one and keeps it when the next pair is bad; SIGTERM during a
#     slow request lets it finish and exits 0; the request log names no client.
# As root it installs the package with dpkg -i, runs the service as the system
# user zentravo, upgrades it (the edited settings stay) and purges it (nothing
# stays). Otherwise it runs the service from the unpacked package as the calling
# user, and says at the end that the install test needs root.
#
#   tests/package/package-test.sh
#
# There is no systemd here (or it is not PID 1): the unit's sandboxing
# (ProtectSystem= and the like) is judged by systemd-analyze, not exercised.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/package/common.sh

require_tools cmake ninja dpkg-deb dpkg-shlibdeps lintian systemd-analyze openssl curl setpriv python3
build_release_service
work=$(mktemp -d "$PWD/build/package-service/test.XXXXXX")
service_pid=""
client_pid=""
installed=""
cleanup() {
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null
  [ -n "$service_pid" ] && kill -KILL "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  [ -n "$installed" ] && dpkg --purge zentravo-lookup-service >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

certificates=build/package-service/certificates
scripts/make-certificates.sh "$certificates/first" >/dev/null
scripts/make-certificates.sh "$certificates/renewed" >/dev/null
first="$PWD/$certificates/first"
renewed="$PWD/$certificates/renewed"

# --- The package, twice: same bytes from a copy with another time stamp, elsewhere.
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 1700000000)
deb=$(SOURCE_DATE_EPOCH=$epoch packaging/build-deb.sh "$SERVICE_BINARY" "$SERVICE_VERSION" "$work/dist")
cp "$SERVICE_BINARY" "$work/copy-of-service"
touch -d '2001-02-03 04:05:06' "$work/copy-of-service"
again=$(SOURCE_DATE_EPOCH=$epoch packaging/build-deb.sh "$work/copy-of-service" "$SERVICE_VERSION" "$work/dist-again")
cmp "$deb" "$again" || fail "two builds of the package differ"
[ "$(basename "$deb")" = "zentravo-lookup-service_${SERVICE_VERSION}_amd64.deb" ] || fail "package named $(basename "$deb")"
pass "$(basename "$deb") built twice, byte for byte the same"
if grep -a -q -F "$PWD" "$deb"; then fail "the package holds the build path $PWD"; fi

# --- lintian: no error (warnings and notes are shown).
lintian_output=$(lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -z "$lintian_output" ] || echo "$lintian_output"
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
pass "lintian: no error"

# --- The unpacked package: its files, and its unit checked by systemd-analyze in a
# root of its own (the package's files, the host's units, kill for ExecReload=).
unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
for file in usr/bin/zentravo-lookup-service lib/systemd/system/zentravo-lookup.service etc/zentravo/lookup.conf \
  usr/share/doc/zentravo-lookup-service/copyright usr/share/doc/zentravo-lookup-service/changelog.gz; do
  [ -f "$unpacked/$file" ] || fail "the package lacks /$file"
done
[ "$(dpkg-deb -f "$deb" Depends)" != "" ] || fail "no Depends"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/zentravo/lookup.conf ||
  fail "/etc/zentravo/lookup.conf is not a conffile"
[ "$("$unpacked/usr/bin/zentravo-lookup-service" --version)" = "zentravo-lookup-service $SERVICE_VERSION" ] ||
  fail "--version does not say $SERVICE_VERSION"

verify_root="$work/verify-root"
mkdir -p "$verify_root/bin" "$verify_root/lib/systemd"
cp -a "$unpacked/." "$verify_root/"
cp -an /lib/systemd/system/. "$verify_root/lib/systemd/system/"
cp "$(type -P kill)" "$verify_root/bin/kill"
unit="$verify_root/lib/systemd/system/zentravo-lookup.service"
verify_output=$(systemd-analyze --root="$verify_root" verify "$unit" 2>&1) ||
  fail "systemd-analyze verify refuses the unit: $verify_output"
# It passes a unit with unknown keys or values it ignores; those are faults too.
[ -z "$verify_output" ] || fail "systemd-analyze verify: $verify_output"
security=$(systemd-analyze --root="$verify_root" security --offline=true --threshold=40 "$unit" 2>&1) ||
  fail "the unit's sandbox is weaker than allowed: $(tail -1 <<<"$security")"
pass "systemd-analyze verify accepts the unit; $(tail -1 <<<"$security" | sed 's/^→ //')"

# --- The service as its unit runs it, signals and all.
#   run_service PREFIX USER   PREFIX: where the package's files are ("" when installed)
# The settings file there must already point at a free port and a certificate.
run_service() {
  local prefix=$1 user=$2 port
  local conf="$prefix/etc/zentravo/lookup.conf"
  unit_command "$prefix/lib/systemd/system/zentravo-lookup.service" "$conf"
  SERVICE_COMMAND[0]="$prefix${SERVICE_COMMAND[0]}"
  port=$(sed -n 's/^ZENTRAVO_PORT=//p' "$conf")
  local cert key
  cert=$(sed -n 's/^ZENTRAVO_CERT=//p' "$conf")
  key=$(sed -n 's/^ZENTRAVO_KEY=//p' "$conf")

  local -a as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    # User=, Group=, CapabilityBoundingSet=, AmbientCapabilities=, NoNewPrivileges=.
    as_user=(setpriv --reuid="$user" --regid="$user" --init-groups --bounding-set=-all,+net_bind_service
      --inh-caps=-all,+net_bind_service --ambient-caps=-all,+net_bind_service --no-new-privs --)
  fi
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "${as_user[@]}" "${SERVICE_COMMAND[@]}" \
    >"$work/service.out" 2>"$work/service.err" &
  service_pid=$!
  wait_for_line "$work/service.out" "^listening on https://127\.0\.0\.1:$port\$" ||
    fail "the service did not start: $(cat "$work/service.err")"
  [ "$(ps -o user= -p "$service_pid" | tr -d ' ')" = "$user" ] || fail "the service does not run as $user"
  pass "the service runs as $user on port $port with ${SERVICE_COMMAND[*]:1}"

  [ "$(lookup "$port" "$first/ca.pem")" = "2634877355" ] || fail "the lookup was not answered"
  [ "$(curl -sS --fail --max-time 10 --cacert "$first/ca.pem" --resolve "localhost:$port:127.0.0.1" \
    "https://localhost:$port/healthz")" = "ok" ] || fail "/healthz does not answer ok"
  pass "it answers a lookup and /healthz"

  # A slow client: half a request now, the rest after the reload and SIGTERM.
  mkfifo "$work/slow-request"
  openssl s_client -brief -ign_eof -connect "127.0.0.1:$port" -servername localhost -verify_return_error \
    -CAfile "$first/ca.pem" <"$work/slow-request" >"$work/slow-reply" 2>"$work/slow-client.err" &
  client_pid=$!
  exec 7>"$work/slow-request"
  # Its handshake must be done with the first certificate before the reload below.
  wait_for_line "$work/slow-client.err" "^CONNECTION ESTABLISHED" ||
    fail "the slow client did not connect: $(cat "$work/slow-client.err")"
  printf 'GET /weibo/brellik.php?url=https://wx1.sinaimg.cn/large/9d0d09ab.jpg HTTP/1.1\r\n' >&7

  # A renewed certificate in place, then SIGHUP: new connections get it at once.
  cp "$renewed/localhost.pem" "$cert"
  cp "$renewed/localhost.key" "$key"
  kill -HUP "$service_pid"
  wait_for_line "$work/service.err" "loaded the certificate $cert again" || fail "no word of the reload"
  [ "$(lookup "$port" "$renewed/ca.pem")" = "2634877355" ] || fail "the renewed certificate is not served"
  if lookup "$port" "$first/ca.pem" >/dev/null 2>&1; then fail "the old certificate is still served"; fi
  pass "after SIGHUP the renewed certificate is served"

  # A key that does not belong to the certificate: refused, the renewed pair stays.
  cp "$first/localhost.key" "$key"
  kill -HUP "$service_pid"
  wait_for_line "$work/service.err" "kept the certificate in use" || fail "a bad pair went unreported"
  [ "$(lookup "$port" "$renewed/ca.pem")" = "2634877355" ] || fail "a bad pair broke the service"
  pass "a bad pair is refused, said so: $(grep 'kept the certificate' "$work/service.err" | head -1)"

  # SIGTERM while the slow request is under way: no new connection, but that request is answered.
  kill -TERM "$service_pid"
  local refused=""
  for ((i = 0; i < 50; i++)); do
    if ! curl -s --max-time 2 -o /dev/null --cacert "$renewed/ca.pem" --resolve "localhost:$port:127.0.0.1" \
      "https://localhost:$port/healthz"; then
      refused=1
      break
    fi
    sleep 0.1
  done
  [ -n "$refused" ] || fail "still accepting after SIGTERM"
  # A client gone by now would end this script with SIGPIPE; say so instead.
  if ! (trap '' PIPE; printf 'Host: localhost\r\n\r\n' >&7) 2>/dev/null; then
    fail "the slow client went away before SIGTERM: $(cat "$work/slow-client.err")"
  fi
  exec 7>&-
  local status=0
  wait "$service_pid" || status=$?
  service_pid=""
  [ "$status" -eq 0 ] || fail "the service exited with $status after SIGTERM"
  wait "$client_pid" || true
  client_pid=""
  grep -q '^HTTP/1.1 200 ' "$work/slow-reply" && grep -q '2634877355' "$work/slow-reply" ||
    fail "the request under way at SIGTERM was not answered: $(cat "$work/slow-reply" "$work/slow-client.err")"
  rm -f "$work/slow-request"
  pass "SIGTERM during a slow request: it was answered (through a reload, too), then exit 0"

  # One line per request: time, status, microseconds; neither the link nor who asked.
  grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}Z 200 [0-9]+us POST /weibo/brellik\.php$' "$work/service.err" ||
    fail "no request log line: $(cat "$work/service.err")"
  if grep -Eq 'sinaimg|127\.0\.0\.1' "$work/service.err"; then fail "the log names a link or a client"; fi
  pass "request log, e.g. $(grep -m1 ' 200 ' "$work/service.err")"
}

# Points a settings file at a free loopback port (never the shipped 443) and puts
# the first certificate where it says.
prepare_settings() {
  local conf=$1 tls_dir=$2 group=$3 port
  port=$(free_port)
  sed -i -e 's|^ZENTRAVO_ADDRESS=.*|ZENTRAVO_ADDRESS=127.0.0.1|' -e "s|^ZENTRAVO_PORT=.*|ZENTRAVO_PORT=$port|" "$conf"
  if [ -n "$tls_dir" ]; then
    sed -i -e "s|^ZENTRAVO_CERT=.*|ZENTRAVO_CERT=$tls_dir/lookup.pem|" \
      -e "s|^ZENTRAVO_KEY=.*|ZENTRAVO_KEY=$tls_dir/lookup.key|" "$conf"
  fi
  local cert key
  cert=$(sed -n 's/^ZENTRAVO_CERT=//p' "$conf")
  key=$(sed -n 's/^ZENTRAVO_KEY=//p' "$conf")
  install -m 0640 -g "$group" "$first/localhost.pem" "$cert"
  install -m 0640 -g "$group" "$first/localhost.key" "$key"
}

if [ "$(id -u)" -ne 0 ]; then
  mkdir -p "$unpacked/tls"
  prepare_settings "$unpacked/etc/zentravo/lookup.conf" "$unpacked/tls" "$(id -gn)"
  run_service "$unpacked" "$(id -un)"
  echo "package-test: passed for the unpacked package, run as $(id -un)."
  echo "package-test: the install test (dpkg -i, the zentravo user, upgrade, dpkg --purge) needs root: run this as root for it."
  exit 0
fi

# --- As root: install, run as zentravo, upgrade, purge.
if dpkg -s zentravo-lookup-service >/dev/null 2>&1; then
  dpkg --purge zentravo-lookup-service >/dev/null
fi
installed=1
dpkg -i "$deb" >"$work/dpkg-install.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg-install.log")"
getent passwd zentravo >/dev/null || fail "no user zentravo after installing"
[ "$(getent passwd zentravo | cut -d: -f7)" = "/usr/sbin/nologin" ] || fail "zentravo can log in"
[ "$(stat -c '%U:%G %a' /etc/zentravo/tls)" = "root:zentravo 750" ] || fail "/etc/zentravo/tls is $(stat -c '%U:%G %a' /etc/zentravo/tls)"
[ "$(/usr/bin/zentravo-lookup-service --version)" = "zentravo-lookup-service $SERVICE_VERSION" ] || fail "installed --version"
systemd-analyze verify /lib/systemd/system/zentravo-lookup.service || fail "systemd-analyze verify refuses the installed unit"
pass "dpkg -i: user zentravo, /etc/zentravo/tls root:zentravo 750, the unit verified in place"

prepare_settings /etc/zentravo/lookup.conf "" zentravo
run_service "" zentravo

# An upgrade keeps the edited settings and the certificate, and the user.
edited=$(sha256sum /etc/zentravo/lookup.conf)
upgrade=$(SOURCE_DATE_EPOCH=$epoch packaging/build-deb.sh "$SERVICE_BINARY" "$SERVICE_VERSION+1" "$work/dist-upgrade")
dpkg -i "$upgrade" >"$work/dpkg-upgrade.log" 2>&1 || fail "the upgrade failed: $(cat "$work/dpkg-upgrade.log")"
[ "$(sha256sum /etc/zentravo/lookup.conf)" = "$edited" ] || fail "the upgrade replaced the edited settings"
[ -f /etc/zentravo/tls/lookup.key ] && getent passwd zentravo >/dev/null || fail "the upgrade lost the key or the user"
pass "an upgrade to $SERVICE_VERSION+1 keeps the edited settings, the certificate and the user"

dpkg --purge zentravo-lookup-service >"$work/dpkg-purge.log" 2>&1 || fail "dpkg --purge failed: $(cat "$work/dpkg-purge.log")"
installed=""
for path in /usr/bin/zentravo-lookup-service /lib/systemd/system/zentravo-lookup.service /etc/zentravo; do
  [ ! -e "$path" ] || fail "$path is left after purging"
done
if getent passwd zentravo >/dev/null || getent group zentravo >/dev/null; then fail "user or group zentravo left after purging"; fi
if dpkg -s zentravo-lookup-service >/dev/null 2>&1; then fail "still known to dpkg after purging"; fi
pass "dpkg --purge leaves no file, user or group behind"
echo "package-test: passed, installed and run as root."
