#!/usr/bin/env bash
# Builds the Debian package of the lookup service from a release build of it:
#
#   packaging/build-deb.sh SERVICE_BINARY VERSION OUTPUT_DIR
#     -> OUTPUT_DIR/zentravo-lookup-service_VERSION_ARCH.deb   (ARCH: this machine's, amd64 here)
#
# The same binary and version give the same bytes, wherever and whenever this
# runs: every time stamp is SOURCE_DATE_EPOCH (default: the time of the last
# commit), every file is root's with a fixed mode, and dpkg-deb stores them in
# a fixed order with one compressor thread.
set -euo pipefail

if [ "$#" -ne 3 ]; then
  echo "usage: $0 SERVICE_BINARY VERSION OUTPUT_DIR" >&2
  exit 2
fi
binary=$1
version=$2
output=$3
here=$(cd "$(dirname "$0")" && pwd)
repository=$(cd "$here/.." && pwd)
package=zentravo-lookup-service
maintainer="Zentravo Maintainers <maintainers@zentravo.example>"

[ -x "$binary" ] || { echo "build-deb: not an executable: $binary" >&2; exit 1; }
if ! [[ "$version" =~ ^[0-9][A-Za-z0-9.+~]*$ ]]; then
  echo "build-deb: not a Debian version without revision: $version" >&2
  exit 1
fi
for tool in dpkg-deb dpkg-shlibdeps strip gzip; do
  command -v "$tool" >/dev/null || { echo "build-deb: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
# A build path inside the binary would make the package differ between clones.
if grep -q -F -- "$repository" "$binary"; then
  echo "build-deb: $binary holds the path of the source folder; build it with the paths mapped out" >&2
  exit 1
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$repository" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
architecture=$(dpkg --print-architecture)

mkdir -p "$output"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps wants the package tree at debian/PACKAGE beside a debian/control.
root="$work/debian/$package"
umask 022

install -d "$root/DEBIAN" "$root/usr/bin" "$root/lib/systemd/system" "$root/etc/zentravo" \
  "$root/usr/share/doc/$package" "$root/usr/share/man/man1"
strip --strip-unneeded --remove-section=.comment -o "$root/usr/bin/$package" "$binary"
chmod 0755 "$root/usr/bin/$package"
install -m 0644 "$here/zentravo-lookup.service" "$root/lib/systemd/system/zentravo-lookup.service"
install -m 0644 "$here/lookup.conf" "$root/etc/zentravo/lookup.conf"
install -m 0644 "$here/debian/copyright" "$here/debian/README" "$root/usr/share/doc/$package/"
gzip -9 -n -c "$here/$package.1" >"$root/usr/share/man/man1/$package.1.gz"

# A native package's changelog, dated by the epoch so that it never changes by itself.
{
  printf '%s (%s) unstable; urgency=medium\n\n' "$package" "$version"
  printf '  * Release %s.\n\n' "$version"
  printf ' -- %s  %s\n' "$maintainer" "$(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9 -n >"$root/usr/share/doc/$package/changelog.gz"
chmod 0644 "$root/usr/share/doc/$package/changelog.gz" "$root/usr/share/man/man1/$package.1.gz"

# Depends from what the binary really links, with the versions its symbols need.
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O "debian/$package/usr/bin/$package")
shlibs=${shlibs#shlibs:Depends=}
[ -n "$shlibs" ] || { echo "build-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

for script in postinst prerm postrm; do
  install -m 0755 "$here/debian/$script" "$root/DEBIAN/$script"
done
install -m 0644 "$here/debian/conffiles" "$root/DEBIAN/conffiles"
(cd "$root" && find usr lib -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"

# KiB per file, rounded up; directory sizes would differ between file systems.
installed_size=$(cd "$root" && find usr lib etc -type f -printf '%s\n' | awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
sed -e "s|@VERSION@|$version|" -e "s|@ARCHITECTURE@|$architecture|" -e "s|@MAINTAINER@|$maintainer|" \
    -e "s|@INSTALLED_SIZE@|$installed_size|" -e "s|@SHLIBS_DEPENDS@|$shlibs|" \
    "$here/debian/control" >"$root/DEBIAN/control"
chmod 0644 "$root/DEBIAN/control"

find "$root" -type d -exec chmod 0755 {} +
find "$root" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +

deb="$output/${package}_${version}_${architecture}.deb"
dpkg-deb --root-owner-group --threads-max=1 -Zxz -z9 --build "$root" "$deb" >/dev/null
echo "$deb"
