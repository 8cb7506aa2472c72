#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Zentravo and its lookup service, and runs
# them together, as an ordinary user: the service on https://127.0.0.1 at the
# unprivileged port the build fixed in the program (build/<preset>/lookup-address.txt),
# with a certificate for "localhost" from a local authority (build/certs), trusted
# inside the project's own Wine prefix only, and Zentravo.exe under Wine.
#
# It opens the 32-bit program, the product, where this host starts 32-bit programs,
# and the x64 build of the same sources otherwise (some kernels run 64-bit code
# only), and says which and why.
#
# With a desktop (DISPLAY set) the window opens there: paste an image link, press
# 查询. Without one, the window runs on a private virtual display, a sample link
# is looked up through the real window (typed, 查询 pressed, 复制 pressed), the
# answer is printed, and a screenshot is saved to build/run/zentravo-lookup.png.
# Everything started here is stopped when the window closes.
#
#   scripts/run.sh [IMAGE_LINK]     the link for the headless lookup
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sample_link=${1:-https://wx1.sinaimg.cn/large/006r2HqOly1hxyz0example.jpg}

scripts/setup.sh

source scripts/lib/wine.sh
if host_runs_32bit_wine; then
  build=win32
  why="the 32-bit program (win32): this host starts 32-bit programs"
  use_wine_build win32 "$root/build/wineprefix-run"
else
  build=win64
  why="the x64 build (win64), as $zentravo_wine32_unavailable"
  use_wine_build win64 "$root/build/wineprefix64-run"
fi
echo "run: opening $why"

cmake --preset native
cmake --build --preset native --target zentravo-lookup-service
cmake --preset "$build"
cmake --build --preset "$build" --target Zentravo zentravo_skin_library zentravo-trust-ca
scripts/make-certificates.sh "$root/build/certs"
bin="$root/build/$build/bin"

# The address the build fixed in the program: "localhost:PORT" (443 without a port).
lookup_address=$(cat "$root/build/$build/lookup-address.txt")
lookup_port=443
if [[ "$lookup_address" == *:* ]]; then lookup_port=${lookup_address##*:}; fi
if [ "$lookup_port" -lt 1024 ] && [ "$(id -u)" -ne 0 ]; then
  echo "run: the program was built for $lookup_address, a port only root may bind" >&2
  exit 1
fi
headless=
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  start_display  # before any Wine process, so all of them draw on it
fi
ensure_wine_prefix
if [ -n "$headless" ]; then
  # A 1920 x 1080 Wine virtual desktop draws the window frames without a window manager.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
else
  # Plain windows on the user's own desktop.
  wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
fi
wineserver -k 2>/dev/null || true  # the desktop choice takes effect with a fresh server

run_dir="$root/build/run"
mkdir -p "$run_dir"
service_pid=
zentravo_pid=
cleanup() {
  [ -n "$zentravo_pid" ] && kill "$zentravo_pid" 2>/dev/null || true
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  stop_display
}
trap cleanup EXIT
trap 'exit 130' INT TERM

service_log="$run_dir/lookup-service.log"
"$root/build/native/bin/zentravo-lookup-service" --address 127.0.0.1 --port "$lookup_port" \
  --cert "$root/build/certs/localhost.pem" --key "$root/build/certs/localhost.key" >"$service_log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do
  grep -q '^listening on' "$service_log" && break
  kill -0 "$service_pid" 2>/dev/null || { cat "$service_log" >&2; exit 1; }
  sleep 0.1
done
grep -q '^listening on' "$service_log" || { echo "run: the lookup service did not start" >&2; exit 1; }
echo "run: lookup service on https://127.0.0.1:$lookup_port (answers as localhost)"

wine "$bin/zentravo-trust-ca.exe" --quiet "Z:$root/build/certs/ca.pem"

if [ -z "$headless" ]; then
  echo "run: paste an image link, for example $sample_link, and press 查询"
  wine "$bin/Zentravo.exe"
  exit 0
fi

wine "$bin/Zentravo.exe" &
zentravo_pid=$!

# The window opens centred on the 1920 x 1080 desktop: the link box spans about
# (837, 484) to (1069, 524) on the screen and the answer box (837, 540) to
# (1069, 580). X sends keys to the window under the pointer.
darkest() {  # the darkest grey level (0-255) in the area WxH+X+Y of the screen
  import -window root -crop "$1" -colorspace Gray -depth 8 -format '%[fx:int(255*minima)]' info: 2>/dev/null
}
wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
  local tries=$(($1 * 5)); shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.2
  done
}
link_box_white() { [ "$(darkest 40x10+930+499)" = 255 ]; }
answer_shown() { [ "$(darkest 220x30+844+545)" -lt 128 ]; }

wait_for 30 link_box_white || { echo "run: the window did not appear" >&2; exit 1; }
xdotool mousemove 960 300
xdotool type --delay 20 "$sample_link"
xdotool key Tab space          # focus 查询 and press it
# The lookup blocks the window until the answer has arrived.
wait_for 30 answer_shown || echo "run: no answer appeared" >&2
import -window root "$run_dir/zentravo-lookup.png"
xdotool key Tab ctrl+c         # into the answer box, which selects its text; copy
answer=
read_clipboard() { answer=$(xclip -o -selection clipboard 2>/dev/null) && [ -n "$answer" ]; }
wait_for 5 read_clipboard || true
xdotool key Escape             # closes the window, which ends the program
wait_for 10 eval '! kill -0 "$zentravo_pid" 2>/dev/null' || true
zentravo_pid=

echo "run: looked up $sample_link with $build/bin/Zentravo.exe"
echo "run: answer: $answer"
echo "run: screenshot: $run_dir/zentravo-lookup.png"
[ -n "$answer" ]
