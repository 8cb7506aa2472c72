#!/usr/bin/env bash
# Two releases of the committed HEAD, from two fresh clones in different folders
# (of different lengths), one after the other, under a different time zone,
# locale and umask, must give byte-identical files in dist/. Then the four
# Windows files of the first are checked for hardening and for traces of either
# folder, and one zip for what it holds.
#
#   tests/release/reproducible-release.sh
#
# Uncommitted changes are not in the clones: this checks the committed state.
# Nothing of other builds is reused: each clone builds everything it ships.
# The clones are removed when the releases agree, and kept for a look when not.
set -euo pipefail
source_repo=$(cd "$(dirname "$0")/../.." && pwd)
checker="$source_repo/tests/release/check_pe_hardening.py"
host=lookup.example.test
limit=${ZENTRAVO_RELEASE_TIMEOUT:-1800}  # seconds for one release

fail() {
  echo "reproducible-release: FAIL: $*" >&2
  exit 1
}

commit=$(git -C "$source_repo" rev-parse HEAD)
if [ -n "$(git -C "$source_repo" status --porcelain --untracked-files=no)" ]; then
  echo "reproducible-release: note: uncommitted changes are not in the clones; releasing $commit as committed"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/zentravo-reproducible.XXXXXX")
keep=1
cleanup() {
  if [ "$keep" = 0 ]; then rm -rf "$work"; else echo "reproducible-release: left for a look: $work" >&2; fi
}
trap cleanup EXIT

first="$work/a/zentravo"
second="$work/another/folder/further/down/zentravo-second-clone"
for clone in "$first" "$second"; do
  mkdir -p "$(dirname "$clone")"
  git clone --quiet --no-hardlinks "$source_repo" "$clone"
  git -C "$clone" checkout --quiet --detach "$commit"
done

release() {  # CLONE, then environment settings for the run
  local clone=$1 started
  shift
  started=$(date +%s)
  echo "reproducible-release: releasing $commit in $clone"
  if ! (cd "$clone" && env -u SOURCE_DATE_EPOCH "$@" timeout "$limit" scripts/release.sh --lookup-host "$host") \
       >"$clone.log" 2>&1; then
    tail -n 30 "$clone.log" >&2
    fail "scripts/release.sh failed in $clone (log: $clone.log)"
  fi
  echo "reproducible-release: took $(( $(date +%s) - started )) s"
}
release "$first" TZ=UTC LANG=C.UTF-8
sleep 1  # a different second on the clock, at least
release "$second" TZ=Asia/Shanghai LANG=zh_CN.UTF-8 sh -c 'umask 077 && exec "$@"' umask

# The same files, byte for byte.
(cd "$first/dist" && ls -A) >"$work/first.list"
(cd "$second/dist" && ls -A) >"$work/second.list"
diff -u "$work/first.list" "$work/second.list" || fail "the two dist/ folders hold different files"
grep -qx SHA256SUMS "$work/first.list" || fail "dist/ has no SHA256SUMS"
[ "$(wc -l <"$work/first.list")" -eq 4 ] || fail "dist/ should hold 2 zips, the .deb and SHA256SUMS"
differ=0
while read -r file; do
  if ! cmp -s "$first/dist/$file" "$second/dist/$file"; then
    echo "reproducible-release: $file differs" >&2
    differ=1
  fi
done <"$work/first.list"
[ "$differ" = 0 ] || fail "the releases differ"
(cd "$first/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
echo "reproducible-release: both releases identical:"
cat "$first/dist/SHA256SUMS"

# What ships is hardened and carries neither clone's folder.
version=$(sed -n 's/^#define ZENTRAVO_VERSION "\(.*\)"$/\1/p' "$first/build/release-win32/generated/zentravo/version.h")
unpacked="$work/unpacked"
for arch in x86 x64; do
  mkdir -p "$unpacked/$arch"
  python3 -m zipfile -e "$first/dist/zentravo-$version-windows-$arch.zip" "$unpacked/$arch"
done
x86_build="$first/build/release-win32/bin"
x64_build="$first/build/release-win64/bin"
forbid=(--forbid "$first" --forbid "$second" --forbid "$source_repo")
python3 "$checker" --machine x86 "${forbid[@]}" \
  "$unpacked/x86/zentravo-$version-windows-x86/Zentravo.exe" "$x86_build/SkinH_EL.dll" ||
  fail "the x86 files are not hardened or carry a build folder"
python3 "$checker" --machine x64 "${forbid[@]}" \
  "$unpacked/x64/zentravo-$version-windows-x64/Zentravo.exe" "$x64_build/SkinH_EL.dll" ||
  fail "the x64 files are not hardened or carry a build folder"

# One zip: its entries in their order, the read-me naming the host, the exe asking it.
listing=$(python3 -c 'import sys, zipfile; print("\n".join(i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist()))' \
  "$first/dist/zentravo-$version-windows-x86.zip")
expected="zentravo-$version-windows-x86/Zentravo.exe
zentravo-$version-windows-x86/README.txt
zentravo-$version-windows-x86/LICENSE.txt"
[ "$listing" = "$expected" ] || fail "the x86 zip holds: $listing"
grep -q "https://$host/" "$unpacked/x86/zentravo-$version-windows-x86/README.txt" ||
  fail "the read-me does not name the lookup host $host"
grep -qaF "$host" "$unpacked/x86/zentravo-$version-windows-x86/Zentravo.exe" ||
  fail "Zentravo.exe does not carry the lookup host $host"

keep=0
echo "reproducible-release: ok"
