#!/usr/bin/env bash
# Runs a Windows program of the win64 build under wine64 with the project's
# private prefix (build/wineprefix unless WINEPREFIX is set). With
# TOLVANE_OWN_DESKTOP set (the tests that show windows) it runs on a desktop
# of its own instead: a throw-away copy of the prepared prefix and an Xvfb of
# its own (scripts/env.sh), ended and removed when the program ends, when
# this script is interrupted, and by the test command's end if this script
# is killed outright.
#
# The program's output goes through a file, not straight to our caller: Wine
# starts its desktop and services on demand from whichever program needs
# them first, and they inherit that program's output. Handed the test
# runner's pipe, they would keep it open long after the test ended, and the
# runner would wait for them.
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/env.sh"
log=$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX") || exit 1
if [ -n "${TOLVANE_OWN_DESKTOP:-}" ]; then
	tolvane_desktop=
	trap 'tolvane_desktop_stop "$tolvane_desktop"; rm -f "$log"' EXIT
	trap 'exit 130' INT
	trap 'exit 143' TERM
	trap 'exit 129' HUP
	if ! tolvane_own_desktop "$(basename "$1" .exe)"; then
		echo "wine-exec: no desktop of its own for $1 (prefix copy or Xvfb failed)" >&2
		exit 1
	fi
	# In the background, so that a signal to this script is handled at once
	# (the trap ends the prefix's server and with it the program) rather
	# than after the program has ended.
	wine "$@" >"$log" 2>&1 &
	wait $!
	status=$?
else
	wine "$@" >"$log" 2>&1
	status=$?
fi
cat "$log"
# A Windows program that dies early loses its buffered output, and Wine's
# own report is silenced by WINEDEBUG: say at least how it ended.
if [ "$status" -ne 0 ] && [ ! -s "$log" ]; then
	echo "wine-exec: $1 printed nothing and ended with status $status" >&2
fi
rm -f "$log"
exit "$status"
