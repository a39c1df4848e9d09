#!/usr/bin/env bash
# The archive module's and zbk's tests built with ThreadSanitizer (linux):
# chunks are compressed and decoded on several threads, and any data race
# among them fails the run. Part of the test command; also runs alone.
#
#   scripts/tsan.sh [build|test]   (both when not told)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
step=${1:-all}
case "$step" in
  all|build|test) ;;
  *) echo "usage: $0 [build|test]" >&2; exit 2 ;;
esac
if [ "$step" != test ]; then
  cmake --preset linux -B "$top/build/tsan" -DTOLVANE_TSAN=ON -DTOLVANE_DIRS="platform/core;setup/archive;tools/zbk" >/dev/null
  # Quiet unless it fails: then the compiler's messages.
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  cmake --build "$top/build/tsan" -- -k 0 >"$log" 2>&1 || { cat "$log"; exit 1; }
fi
if [ "$step" != build ]; then
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir "$top/build/tsan" --output-on-failure -j"$(nproc)"
fi
