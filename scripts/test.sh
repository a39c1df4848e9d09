#!/usr/bin/env bash
# The test command: set-up, the builds, every test. Unit tests run natively
# (the archive module's and zbk's once more with ThreadSanitizer) and again
# as win64 programs under Wine; tests that show windows, the end-to-end tests
# among them, run under Wine each on a desktop of its own (scripts/env.sh).
#
# The order is made for two processors. The win64 build comes first: the Wine
# tests mostly wait for windows, so they run, several at once, while the
# linux, win32 and ThreadSanitizer builds and the native tests use the
# processors; those run at a lower priority, so that the windows the tests
# wait for still come when expected. The shipping build (win32) cannot run
# its tests here, so only its programs are built ("programs", which compiles
# and links all shipped code). Each phase prints its seconds; a table at the
# end lists them all.
#
# TOLVANE_WINE_JOBS: how many Wine tests at once (default four per processor).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. "$top/scripts/env.sh"

jobs=$(nproc)
wine_jobs=${TOLVANE_WINE_JOBS:-$((jobs * 4))}
status=0
times=()
run_start=$(date +%s%N)
template_pid=
wine_pid=
phase_pid=
wine_out=$(mktemp -d)

# note_time NAME START [END]: prints and keeps the seconds from START to END
# (now when not given), both from date +%s%N.
note_time() {
  local end=${3:-$(date +%s%N)} secs
  secs=$(( (end - $2 + 500000000) / 1000000000 ))
  echo "-- $1: $secs s"
  times+=("$(printf '  %-52s %5d s' "$1" "$secs")")
}

# phase NAME COMMAND...: runs COMMAND and notes its seconds. A failure is
# counted, not fatal: the other phases still run, and each says what failed.
# The command runs in the background and the script waits for it: a signal
# then ends the whole run at once (the traps below), where a command that
# handles Ctrl-C itself (CTest does) would otherwise make the shell go on
# with the next phase.
phase() {
  local name=$1 start rc=0
  shift
  start=$(date +%s%N)
  echo "== $name"
  "$@" &
  phase_pid=$!
  wait "$phase_pid" || rc=$?
  phase_pid=
  note_time "$name" "$start"
  if [ "$rc" -ne 0 ]; then
    echo "-- $name FAILED (status $rc)"
    status=1
  fi
}

build() { # PRESET [TARGET]
  cmake --preset "$1" -DTOLVANE_DIRS= >/dev/null
  cmake --build --preset "$1" ${2:+--target "$2"} -- -k 0
}

# kill_tree PID: ends PID and every process below it, the parent first so
# that it starts no new ones. Wine tests end their own desktops on TERM.
kill_tree() {
  local pid=$1 child
  kill -0 "$pid" 2>/dev/null || return 0
  local children
  children=$(ps -o pid= --ppid "$pid" 2>/dev/null || true)
  kill "$pid" 2>/dev/null || true
  for child in $children; do kill_tree "$child"; done
}

# Nothing outlives the run: on any way out (also Ctrl-C and failures) the
# background work is ended, then every Wine server and Xvfb the run started.
finish() {
  [ -z "$phase_pid" ] || kill_tree "$phase_pid"
  [ -z "$wine_pid" ] || kill_tree "$wine_pid"
  if [ -n "$template_pid" ] && kill -0 "$template_pid" 2>/dev/null; then
    kill_tree "$template_pid"
    WINEPREFIX="$tolvane_template" wineserver -k >/dev/null 2>&1 || true
  fi
  # The tests' own wrappers stop their desktops on TERM; give them a moment
  # before whatever is left is swept up.
  local i
  for i in $(seq 1 50); do
    [ -n "$(ls -A "${TOLVANE_WINE_RUNS:-/nonexistent}" 2>/dev/null)" ] || break
    sleep 0.1
  done
  tolvane_env_stop
  rm -rf "$wine_out"
  # Whatever ended the run before its verdict (a signal, an error of this
  # script), the last line still says that it did not pass.
  [ -n "$verdict" ] || echo "TESTS FAILED"
}
verdict=
trap finish EXIT
trap 'echo "-- interrupted"; exit 130' INT
trap 'echo "-- terminated"; exit 143' TERM
trap 'echo "-- hung up"; exit 129' HUP

phase "set-up" "$top/scripts/setup.sh"
[ "$status" -eq 0 ] || exit 1

# The prepared Wine prefix takes wineboot a while; it is made during the
# first build and waited for before the Wine tests.
(
  s=$(date +%s%N)
  rc=0
  tolvane_wine_template || rc=$?
  echo "$s $(date +%s%N)" >"$wine_out/template.time"
  exit $rc
) >"$top/build/wine-template.log" 2>&1 &
template_pid=$!

phase "build win64" build win64

start=$(date +%s%N)
echo "== Wine: prepared prefix, display, the shared prefix's services"
rc=0
wait "$template_pid" || rc=$?
template_pid=
if [ -f "$wine_out/template.time" ]; then
  read -r s e <"$wine_out/template.time"
  note_time "Wine template (made beside build win64)" "$s" "$e"
fi
if [ "$rc" -ne 0 ]; then
  cat "$top/build/wine-template.log"
  echo "-- the prepared Wine prefix could not be made"
  status=1
fi
tolvane_env_start || status=1
note_time "Wine start" "$start"

echo "== tests: win64 (under Wine), $wine_jobs at once, beside what follows; their report comes last"
(
  s=$(date +%s%N)
  rc=0
  ctest --test-dir build/win64 --output-on-failure -j"$wine_jobs" >"$wine_out/ctest.log" 2>&1 || rc=$?
  echo "$rc $s $(date +%s%N)" >"$wine_out/ctest.end"
) &
wine_pid=$!
# Everything else gives way to the Wine tests.
renice -n 10 -p $$ >/dev/null || true

phase "build linux" build linux
phase "tests: linux (native)" ctest --test-dir build/linux --output-on-failure -j"$jobs"
# Every fuzz target once over its committed corpus (seeds and the inputs of
# fixed findings), built with clang, ASan and UBSan.
phase "fuzz corpora replayed (clang, ASan, UBSan)" "$top/fuzz/run.sh" --replay
phase "build win32 (programs)" build win32 programs
phase "checks of the win32 (shipping) build" "$top/scripts/check-win32.sh"
phase "build ThreadSanitizer (linux)" "$top/scripts/tsan.sh" build
phase "tests: archive and zbk with ThreadSanitizer (linux)" "$top/scripts/tsan.sh" test

start=$(date +%s%N)
wait "$wine_pid" || true
wine_pid=
echo "== tests: win64 (under Wine)"
cat "$wine_out/ctest.log"
if read -r rc s e <"$wine_out/ctest.end" 2>/dev/null; then
  note_time "waiting for the Wine tests" "$start"
  note_time "tests: win64 (under Wine, beside the phases above)" "$s" "$e"
  [ "$rc" -eq 0 ] || { echo "-- tests: win64 (under Wine) FAILED (status $rc)"; status=1; }
else
  echo "-- tests: win64 (under Wine) ended without a result"
  status=1
fi

echo "== times (the Wine template and tests overlap the other phases)"
printf '%s\n' "${times[@]}"
note_time "total" "$run_start" >/dev/null
echo "${times[-1]}"
verdict=yes
if [ "$status" -ne 0 ]; then
  echo "TESTS FAILED"
  exit 1
fi
echo "ALL TESTS PASSED"
