#!/usr/bin/env bash
# Builds the downloads of one release into dist/:
#
#   zentravo-VERSION-windows-x86.zip            Zentravo.exe (32-bit), read-me, licence
#   zentravo-VERSION-windows-x64.zip            Zentravo.exe (x64), read-me, licence
#   zentravo-lookup-service_VERSION_amd64.deb   the lookup service for Debian
#   SHA256SUMS
#
#   scripts/release.sh [--lookup-host HOST]     (default localhost)
#
# The exe asks the one lookup host fixed in it at build time, so a release is made
# for a host: both exes are built for HOST, and the read-me names it.
#
# The same commit gives the same bytes wherever and whenever it is built: every
# time stamp is SOURCE_DATE_EPOCH (the commit's time unless set), the PE files
# carry no link time, build folders are mapped out of the binaries, and the zips
# list their entries in a fixed order with fixed times and permissions.
# Each build starts from an empty folder under build/release-*; ZENTRAVO_JOBS
# sets the parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/release.sh [--lookup-host HOST]" >&2
  exit 2
}

lookup_host=localhost
while [ $# -gt 0 ]; do
  case "$1" in
    --lookup-host) [ $# -ge 2 ] || usage; lookup_host=$2; shift 2 ;;
    --lookup-host=*) lookup_host=${1#*=}; shift ;;
    -h|--help) usage ;;
    *) echo "release: unknown argument: $1" >&2; usage ;;
  esac
done

# The host becomes a string literal in the exe and a line of the read-me: a DNS
# name or an IPv4 address, nothing that could break out of either.
if ! [[ "$lookup_host" =~ ^[A-Za-z0-9]([A-Za-z0-9.-]{0,251}[A-Za-z0-9])?$ ]]; then
  echo "release: not a host name: '$lookup_host'" >&2
  exit 2
fi

# The service package is made by its own script; without it there is no release.
if [ ! -x packaging/build-deb.sh ]; then
  echo "release: packaging/build-deb.sh is missing (or not executable): it makes the service's Debian package" >&2
  exit 1
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "release: not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2
    exit 1
  fi
fi
if ! [[ "$SOURCE_DATE_EPOCH" =~ ^[0-9]+$ ]]; then
  echo "release: SOURCE_DATE_EPOCH is not a number of seconds: '$SOURCE_DATE_EPOCH'" >&2
  exit 2
fi
export SOURCE_DATE_EPOCH
# Nothing of the caller's locale, time zone or umask in what is written.
export LC_ALL=C TZ=UTC
umask 022
jobs=${ZENTRAVO_JOBS:-2}

release_build() {  # FOLDER TARGET [CMAKE ARGUMENT...]
  local folder=$1 target=$2
  shift 2
  rm -rf "$folder"
  cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DZENTRAVO_BUILD_TESTS=OFF -DZENTRAVO_SANITIZE=OFF \
        "-DZENTRAVO_LOOKUP_HOST=$lookup_host" "$@" >/dev/null
  cmake --build "$folder" --target "$target" -j "$jobs"
}

echo "release: building for lookup host $lookup_host (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
release_build build/release-win32 Zentravo --toolchain cmake/i686-w64-mingw32.cmake
release_build build/release-win64 Zentravo --toolchain cmake/x86_64-w64-mingw32.cmake
release_build build/release-service zentravo-lookup-service

version=$(sed -n 's/^#define ZENTRAVO_VERSION "\(.*\)"$/\1/p' build/release-win32/generated/zentravo/version.h)
if [ -z "$version" ]; then
  echo "release: no version in build/release-win32/generated/zentravo/version.h" >&2
  exit 1
fi

rm -rf dist
mkdir -p dist

# Windows text files: CRLF line ends; the read-me also a UTF-8 byte order mark,
# so Notepad shows its Chinese half whatever the system's code page.
staging=build/release-staging
rm -rf "$staging"
mkdir -p "$staging"
sed 's/$/\r/' LICENSE >"$staging/LICENSE.txt"

for arch in x86 x64; do
  case $arch in
    x86) build=build/release-win32 bits=32 ;;
    x64) build=build/release-win64 bits=64 ;;
  esac
  { printf '\xef\xbb\xbf'
    sed -e "s/@VERSION@/$version/g" -e "s/@LOOKUP_HOST@/$lookup_host/g" \
        -e "s/@BITS@/$bits/g" scripts/release/readme.txt.in | sed 's/$/\r/'
  } >"$staging/README-$arch.txt"
  name=zentravo-$version-windows-$arch
  python3 scripts/release/reproducible_zip.py "dist/$name.zip" "$SOURCE_DATE_EPOCH" \
    "$name/Zentravo.exe=$build/bin/Zentravo.exe" \
    "$name/README.txt=$staging/README-$arch.txt" \
    "$name/LICENSE.txt=$staging/LICENSE.txt"
done

packaging/build-deb.sh build/release-service/bin/zentravo-lookup-service "$version" dist
deb=zentravo-lookup-service_${version}_amd64.deb
if [ ! -f "dist/$deb" ]; then
  echo "release: packaging/build-deb.sh did not write dist/$deb" >&2
  exit 1
fi

files=("zentravo-$version-windows-x64.zip" "zentravo-$version-windows-x86.zip" "$deb")
unexpected=$(cd dist && ls -A | grep -vxF -e "${files[0]}" -e "${files[1]}" -e "${files[2]}" || true)
if [ -n "$unexpected" ]; then
  echo "release: unexpected files in dist/: $unexpected" >&2
  exit 1
fi
(cd dist && sha256sum -- "${files[@]}" >SHA256SUMS)
echo "release: dist/ for Zentravo $version, lookup host $lookup_host:"
cat dist/SHA256SUMS
