#!/usr/bin/env bash
# Runs a Windows program of the win64 build under wine64 with the project's
# private prefix (build/wineprefix unless WINEPREFIX is set).
#
# The program's output goes through a file, not straight to our caller: Wine
# starts its desktop and services on demand from whichever program needs
# them first, and they inherit that program's output. Handed the test
# runner's pipe, they would keep it open long after the test ended, and the
# runner would wait for them.
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
log=$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX") || exit 1
wine "$@" >"$log" 2>&1
status=$?
cat "$log"
# A Windows program that dies early loses its buffered output, and Wine's
# own report is silenced by WINEDEBUG: say at least how it ended.
if [ "$status" -ne 0 ] && [ ! -s "$log" ]; then
	echo "wine-exec: $1 printed nothing and ended with status $status" >&2
fi
rm -f "$log"
exit "$status"
