#!/usr/bin/env bash
# The archive module's and zbk's tests built with ThreadSanitizer (linux):
# chunks are compressed and decoded on several threads, and any data race
# among them fails the run. Part of the test command; also runs alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --preset linux -B "$top/build/tsan" -DTOLVANE_TSAN=ON -DTOLVANE_DIRS="platform/core;setup/archive;tools/zbk" >/dev/null
cmake --build "$top/build/tsan" -- -k 0 >/dev/null
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir "$top/build/tsan" --output-on-failure -j2
