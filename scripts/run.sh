#!/usr/bin/env bash
# Sets up a Debian 12 machine and builds Zentravo.exe for 32-bit Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset win32
cmake --build --preset win32
echo "built: build/win32/bin/Zentravo.exe"
