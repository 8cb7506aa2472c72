#!/usr/bin/env bash
# The lookup page in headless Chromium against the lookup service of a native
# build; saves the desktop and phone screenshots shown in the README into docs/.
#
#   tests/browser/run-page-test.sh [BUILD_DIR]      (default build/native)
#
# Needs Debian's chromium, chromium-driver and python3-selenium (scripts/setup.sh
# installs them); fails, never skips, when one is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/native}
service="$build/bin/zentravo-lookup-service"

missing=()
[ -x /usr/bin/chromium ] || missing+=("chromium (/usr/bin/chromium)")
[ -x /usr/bin/chromedriver ] || missing+=("chromium-driver (/usr/bin/chromedriver)")
# Debian's Selenium lives with Debian's Python, whatever python3 is first on the PATH.
/usr/bin/python3 -c 'import selenium' 2>/dev/null || missing+=("python3-selenium for /usr/bin/python3")
[ -x "$service" ] || missing+=("the lookup service: build the native preset first ($service)")
if [ "${#missing[@]}" -gt 0 ]; then
  printf 'page test: missing %s\n' "${missing[@]}" >&2
  exit 1
fi

certificates="$build/page-test-certificates"
scripts/make-certificates.sh "$certificates" >/dev/null

/usr/bin/python3 tests/browser/page_test.py --service "$service" --certificates "$certificates" \
  --screenshots docs
