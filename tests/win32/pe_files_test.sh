#!/usr/bin/env bash
# What makes the 32-bit program what it is, read from its files with the cross
# binutils, so that hosts which cannot start 32-bit programs check it too:
#   - Zentravo.exe and SkinH_EL.dll are PE32 images for i386;
#   - the library names itself "SkinH_EL.dll" and exports exactly "SkinH_AttachRes",
#     undecorated (the program looks it up by that name);
#   - the manifest asks for the x86 common controls, version 6;
#   - the exe carries the library byte for byte;
#   - each imports only the system libraries it is meant to: the exe binds wininet.dll
#     and the skin library at run time, by name, so neither is imported.
#
# Usage: pe_files_test.sh ZENTRAVO.exe SKINH_EL.dll OBJDUMP
set -euo pipefail
# objdump speaks the locale's language, and the Wine tests run in zh_CN.UTF-8.
export LC_ALL=C

if [ $# -ne 3 ]; then
  echo "usage: $0 ZENTRAVO.exe SKINH_EL.dll OBJDUMP" >&2
  exit 2
fi
exe=$1 dll=$2 objdump=$3
for file in "$exe" "$dll"; do
  [ -f "$file" ] || { echo "FAILED: $file is missing: build the win32 preset" >&2; exit 1; }
done
command -v "$objdump" >/dev/null || { echo "FAILED: no $objdump (binutils-mingw-w64-i686)" >&2; exit 1; }

failures=0
check() {  # check WHAT COMMAND...: one line per check
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what" >&2
    failures=$((failures + 1))
  fi
}
has_line() { grep -qE "$2" <<<"$1"; }
same_lines() { [ "$1" = "$2" ] || { printf 'expected:\n%s\nfound:\n%s\n' "$2" "$1" >&2; return 1; }; }

imports_of() {  # the imported library names, lower case, one a line, sorted
  "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort
}
exports_of() {  # the exported names, one a line
  "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p'
}

for file in "$exe" "$dll"; do
  name=$(basename "$file")
  header=$("$objdump" -f "$file")
  private=$("$objdump" -p "$file")
  check "$name: file format pei-i386" has_line "$header" 'file format pei-i386$'
  check "$name: architecture i386" has_line "$header" '^architecture: i386,'
  check "$name: PE32 optional header (magic 010b)" has_line "$private" '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)'
  check "$name: 32-bit machine words" has_line "$private" '32 bit words'
done

dll_private=$("$objdump" -p "$dll")
check "SkinH_EL.dll: a DLL" has_line "$dll_private" '^[[:space:]]+DLL$'
check "SkinH_EL.dll: names itself SkinH_EL.dll" has_line "$dll_private" '^Name[[:space:]]+[0-9a-f]+ SkinH_EL\.dll$'
check "SkinH_EL.dll: exports exactly SkinH_AttachRes, undecorated" \
  same_lines "$(exports_of "$dll" | sort -u)" "SkinH_AttachRes"

# The manifest is a resource of its own; its text is stored as it is, in .rsrc.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"${objdump%objdump}objcopy" -O binary -j .rsrc "$exe" "$scratch/rsrc"
common_controls=$(tr -d '\r\n' <"$scratch/rsrc" | grep -ao '<assemblyIdentity[^>]*Microsoft\.Windows\.Common-Controls[^>]*>' || true)
check "Zentravo.exe: the manifest asks for the common controls" test -n "$common_controls"
check "Zentravo.exe: ... version 6.0.0.0" has_line "$common_controls" 'version="6\.0\.0\.0"'
check "Zentravo.exe: ... for x86" has_line "$common_controls" 'processorArchitecture="x86"'
program_identity=$(tr -d '\r\n' <"$scratch/rsrc" | grep -ao '<assemblyIdentity[^>]*Zentravo[^>]*>' || true)
check "Zentravo.exe: the program itself is x86" has_line "$program_identity" 'processorArchitecture="x86"'

carries() {
  python3 - "$exe" "$dll" <<'PY'
import sys
exe, dll = (open(path, "rb").read() for path in sys.argv[1:3])
sys.exit(0 if exe.count(dll) == 1 else 1)
PY
}
check "Zentravo.exe: carries SkinH_EL.dll byte for byte, once" carries

check "Zentravo.exe: imports comctl32, gdi32, kernel32, msvcrt and user32 only" \
  same_lines "$(imports_of "$exe")" "$(printf '%s\n' comctl32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll)"
check "SkinH_EL.dll: imports gdi32, kernel32, msvcrt and user32 only" \
  same_lines "$(imports_of "$dll")" "$(printf '%s\n' gdi32.dll kernel32.dll msvcrt.dll user32.dll)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
