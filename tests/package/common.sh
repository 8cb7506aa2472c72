# Shared by the package and load-balancer tests; sourced from the repository root.

# Builds the service as a release would (optimised, build paths mapped out) in
# its own folder and sets SERVICE_BINARY and SERVICE_VERSION.
build_release_service() {
  local build=build/package-service
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRAVO_BUILD_TESTS=OFF \
      "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD/=" >/dev/null
  fi
  cmake --build "$build" -j2 --target zentravo-lookup-service >/dev/null
  SERVICE_BINARY="$PWD/$build/bin/zentravo-lookup-service"
  SERVICE_VERSION=$(sed -n 's/^#define ZENTRAVO_VERSION "\(.*\)"$/\1/p' "$build/generated/zentravo/version.h")
  [ -n "$SERVICE_VERSION" ] || fail "no version in $build/generated/zentravo/version.h"
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

pass() {
  echo "ok: $*"
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin command -v "$tool" >/dev/null ||
      fail "$tool is missing (scripts/setup.sh installs it)"
  done
}

# A loopback port nobody listens on just now.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until a line of FILE matches the extended regular expression, for at most
# SECONDS (default 20).
wait_for_line() {
  local file=$1 pattern=$2 seconds=${3:-20} i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -Eq -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# The command a systemd unit's ExecStart= runs, with each ${NAME} replaced by its
# value in the environment file, as systemd does with EnvironmentFile= (one word
# per ${NAME}); the result is in SERVICE_COMMAND. Values are taken literally:
# enough for the NAME=VALUE lines of the shipped settings file.
unit_command() {
  local unit=$1 environment=$2 line name value word
  local -A values=()
  while IFS= read -r line; do
    [[ $line =~ ^([A-Za-z_][A-Za-z0-9_]*)=(.*)$ ]] || continue
    values[${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
  done <"$environment"
  line=$(sed -n 's/^ExecStart=//p' "$unit")
  [ -n "$line" ] || fail "no ExecStart= in $unit"
  local -a words
  read -ra words <<<"$line"
  SERVICE_COMMAND=()
  for word in "${words[@]}"; do
    while [[ $word =~ \$\{([A-Za-z_][A-Za-z0-9_]*)\} ]]; do
      name=${BASH_REMATCH[1]}
      [ -n "${values[$name]+set}" ] || fail "$unit uses \${$name}, which $environment does not set"
      value=${values[$name]}
      word=${word/"${BASH_REMATCH[0]}"/"$value"}
    done
    SERVICE_COMMAND+=("$word")
  done
}

# One lookup through https://localhost:PORT trusting CA; prints the body and
# fails unless the status is 200.
lookup() {
  local port=$1 ca=$2
  curl -sS --fail --max-time 10 --cacert "$ca" --resolve "localhost:$port:127.0.0.1" -X POST \
    "https://localhost:$port/weibo/brellik.php?url=https://wx1.sinaimg.cn/large/9d0d09ab.jpg"
}
