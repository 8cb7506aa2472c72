#!/usr/bin/env bash
# Runs a Windows test program of the window skin in a sandbox of its own, and takes
# everything back afterwards, also when the test fails or is interrupted:
#   - a new temporary folder for the test's files;
#   - the program runs from a copy in the folder's "program" folder, so that its
#     program directory holds only what the test puts there (--in-place: it runs
#     where it was built);
#   - the prefix's drive D: is linked to the folder's "d", which the test creates to
#     give the drive and removes to take it away (the drive then names nothing); a
#     D: the prefix had before is put back;
#   - the prefix's system directory may get a "SkinH_EL.dll" (and the ".log" a
#     probe library writes beside itself) from the test; it must have neither
#     before, and has neither after.
# A run killed outright (SIGKILL) cannot take anything back; the next run does.
# The test finds the folder in ZENTRAVO_SKIN_SANDBOX and the folder the program was
# built in (with the skin library, the probes and Zentravo.exe) in
# ZENTRAVO_SKIN_BINARIES, both as Unix paths (drive Z: in the prefix).
#
# Usage: skin_sandbox.sh [--in-place] PROGRAM.exe [ARGUMENTS...]
# WINEPREFIX names the prefix, and WINE the Wine loader (default: wine).
set -euo pipefail

in_place=
if [ "${1:-}" = "--in-place" ]; then
  in_place=1
  shift
fi
if [ $# -lt 1 ]; then
  echo "usage: $0 [--in-place] PROGRAM.exe [ARGUMENTS...]" >&2
  exit 2
fi
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix of the tests}"

drive_d="$WINEPREFIX/dosdevices/d:"
system_copies=("$WINEPREFIX/drive_c/windows/system32/SkinH_EL.dll"
               "$WINEPREFIX/drive_c/windows/system32/SkinH_EL.dll.log")
# Names the sandbox while a run is under way; found at the start, it is a run that
# was killed before it could take its changes back, so they are taken back now.
marker="$WINEPREFIX/.zentravo-skin-sandbox"

take_back() {  # SANDBOX SAVED_DRIVE_D
  rm -f "$drive_d"
  if [ -n "$2" ]; then ln -s "$2" "$drive_d"; fi
  rm -f "${system_copies[@]}"
  case "$1" in */zentravo-skin.*) rm -rf "$1" ;; esac
  rm -f "$marker"
}

if [ -f "$marker" ]; then
  { read -r killed_sandbox; read -r killed_saved_drive_d || true; } <"$marker"
  echo "$0: taking back what an interrupted run left in $WINEPREFIX" >&2
  take_back "$killed_sandbox" "${killed_saved_drive_d:-}"
fi
for copy in "${system_copies[@]}"; do
  if [ -e "$copy" ]; then
    echo "$0: $copy exists already; the skin tests put their own copies there" >&2
    exit 1
  fi
done

sandbox=$(mktemp -d -t zentravo-skin.XXXXXX)
saved_drive_d=
if [ -L "$drive_d" ]; then saved_drive_d=$(readlink "$drive_d"); fi
printf '%s\n%s\n' "$sandbox" "$saved_drive_d" >"$marker"
trap 'take_back "$sandbox" "$saved_drive_d"' EXIT
trap 'exit 130' INT TERM HUP

rm -f "$drive_d"
ln -s "$sandbox/d" "$drive_d"

export ZENTRAVO_SKIN_SANDBOX="$sandbox"
export ZENTRAVO_SKIN_BINARIES
ZENTRAVO_SKIN_BINARIES=$(dirname "$program")
if [ -n "$in_place" ]; then
  "${WINE:-wine}" "$program" "$@"
else
  mkdir -p "$sandbox/program"
  cp "$program" "$sandbox/program/"
  "${WINE:-wine}" "$sandbox/program/$(basename "$program")" "$@"
fi
