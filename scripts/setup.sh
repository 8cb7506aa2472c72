#!/usr/bin/env bash
# Installs what building and testing Zentravo needs on Debian 12, only what is
# missing: the MinGW-w64 cross compilers (i686 and x64), Wine (64-bit, and 32-bit
# where the host runs it), a virtual X server, GoogleTest, Boost, OpenSSL and a JSON
# library for the lookup service, Clang for the fuzz runs, Chromium for the page's
# browser test, the packaging checks, fonts with Chinese glyphs, and the
# zh_CN.UTF-8 locale that gives Wine the ANSI code page 936. Safe to run again.
#
#   scripts/setup.sh            what building, running and testing need
#   scripts/setup.sh --bench    also Google Benchmark, nginx and wrk for bench/
#                               (Debian's nginx package starts a web server on port 80)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
  xvfb xdotool xclip x11-utils imagemagick fonts-wqy-microhei locales
  libboost-dev libssl-dev openssl nlohmann-json3-dev
  clang libclang-rt-14-dev
  chromium chromium-driver python3-selenium
  lintian haproxy zip
  dpkg-dev curl
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(libbenchmark-dev nginx wrk)
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  as_root apt-get update
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  as_root sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN\.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen
fi
