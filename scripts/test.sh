#!/usr/bin/env bash
# The test command: set-up, all three builds, every test. Unit tests run
# natively and again as win64 programs under Wine; GUI and end-to-end tests
# run under Wine on a private Xvfb when there is no display.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/build.sh"

. "$top/scripts/env.sh"
trap tolvane_env_stop EXIT
tolvane_env_start

status=0
echo "== checks of the win32 (shipping) build"
"$top/scripts/check-win32.sh" || status=1

echo "== tests: linux (native)"
ctest --test-dir build/linux --output-on-failure -j2 || status=1

echo "== tests: archive and zbk with ThreadSanitizer (linux)"
"$top/scripts/tsan.sh" || status=1

echo "== tests: win64 (under Wine)"
ctest --test-dir build/win64 --output-on-failure -j2 || status=1

if [ "$status" -ne 0 ]; then
  echo "TESTS FAILED"
  exit 1
fi
echo "ALL TESTS PASSED"
