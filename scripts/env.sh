# Sourced by the run and test scripts (and by scripts/wine-exec.sh): the
# private Wine prefix and, when there is no display, a private Xvfb.
# tolvane_env_start sets both up; tolvane_env_stop (installed as an EXIT
# trap) stops what was started, the desktops of single tests included.
#
# Tests that show windows each get a desktop of their own
# (tolvane_own_desktop): a throw-away copy of one prepared prefix and an Xvfb
# of their own, so that several run at once. One prefix cannot be shared by
# them: Wine keeps the windows of all programs of a prefix on one X display
# (a second display in the same prefix ends in X errors), and the tests
# change and check state of the whole prefix (the registry's list of
# installed programs, RunOnce, the temporary folder, Program Files, the DPI).
top=${top:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
# File names reach Wine and our portable code through the locale's
# character set: a bare C locale would turn every non-ASCII name away.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *[Uu][Tt][Ff]-8*|*[Uu][Tt][Ff]8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
export WINEDEBUG=${WINEDEBUG:--all}
# winemenubuilder would copy every shortcut a test makes into the desktop
# menus of the machine itself.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
# The prepared prefix that prefixes are copied from, and where the desktops
# of single tests live. Both on the build tree's file system: copies link
# Wine's own libraries instead of copying them.
tolvane_template=$top/build/wine-template
tolvane_runs=$top/build/wine-runs
tolvane_xvfb_pid=

# tolvane_xvfb FILE: starts an Xvfb on a display number it picks itself
# (-displayfd: two runs starting at once cannot pick the same one) and waits
# until it takes connections. Sets tolvane_xvfb_new_pid and
# tolvane_xvfb_new_display; FILE keeps the number. Returns 1 when no Xvfb
# starts (and leaves none behind).
tolvane_xvfb() {
  local file=$1 i n
  : >"$file" || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$file" >/dev/null 2>&1 </dev/null &
  tolvane_xvfb_new_pid=$!
  for i in $(seq 1 200); do
    [ -s "$file" ] && break
    kill -0 "$tolvane_xvfb_new_pid" 2>/dev/null || break
    sleep 0.05
  done
  n=$(head -n 1 "$file")
  if [ -z "$n" ] || ! kill -0 "$tolvane_xvfb_new_pid" 2>/dev/null; then
    kill "$tolvane_xvfb_new_pid" 2>/dev/null
    wait "$tolvane_xvfb_new_pid" 2>/dev/null
    tolvane_xvfb_new_pid=
    return 1
  fi
  tolvane_xvfb_new_display=":$n"
}

# tolvane_wine_template: makes the prepared prefix (build/wine-template) with
# wineboot unless it is there for the installed Wine. Nothing ever runs in it
# afterwards, so its registry and files are at rest whenever they are
# copied. Several callers at once are fine: the first makes it, the others
# wait for it. Returns 1 when Wine could not make it.
tolvane_wine_template() {
  mkdir -p "$(dirname "$tolvane_template")" || return 1
  (
    flock 9
    version=$(wine --version 2>/dev/null)
    # The version beside the prefix: a prefix of an older Wine would be
    # brought up to date in every copy, over the files the copies share.
    [ -f "$tolvane_template/system.reg" ] && [ "$(cat "$tolvane_template.version" 2>/dev/null)" = "$version" ] && exit 0
    rm -rf "$tolvane_template" "$tolvane_template.version"
    mkdir -p "$tolvane_template"
    env -u DISPLAY WINEPREFIX="$tolvane_template" wineboot -i >/dev/null 2>&1 </dev/null
    WINEPREFIX="$tolvane_template" wineserver -w || true
    [ -f "$tolvane_template/system.reg" ] || { echo "env: wineboot made no prefix in $tolvane_template" >&2; exit 1; }
    echo "$version" >"$tolvane_template.version"
  ) 9>"$tolvane_template.lock"
}

# tolvane_prefix_copy FROM TO: TO becomes a prefix like FROM for a single
# test, thrown away after it. Wine's own libraries and programs
# (drive_c/windows/system32 and winsxs, nearly all of the 700 MB) are only
# read, never written in place, so the copy links them, which takes a
# second instead of most of a minute on a busy machine; the registry, the
# profile and the rest of the Windows folder (win.ini and other files Wine
# rewrites in place) are real copies. Where links are impossible (another
# file system) everything is copied.
tolvane_prefix_copy() {
  local from=$1 to=$2
  mkdir -p "$to/drive_c/windows" || return 1
  find "$from" -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$to/" {} + &&
  find "$from/drive_c" -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a -t "$to/drive_c/" {} + &&
  find "$from/drive_c/windows" -mindepth 1 -maxdepth 1 ! -name system32 ! -name winsxs \
    -exec cp -a -t "$to/drive_c/windows/" {} + || return 1
  cp -al "$from/drive_c/windows/system32" "$from/drive_c/windows/winsxs" "$to/drive_c/windows/" 2>/dev/null \
    || cp -a "$from/drive_c/windows/system32" "$from/drive_c/windows/winsxs" "$to/drive_c/windows/"
}

# tolvane_wine_prestart: starts the prefix's server and services before the
# program under test, so that it does not pay for them and does not start
# them itself: a program that starts a fresh prefix's desktop and services
# behaves unlike one that finds them running (the shell's folder chooser
# then never selects its preset folder). Anything Wine starts keeps away
# from our output.
tolvane_wine_prestart() {
  wineserver -p >/dev/null 2>&1 </dev/null
  wine wineboot >/dev/null 2>&1 </dev/null || true
}

# tolvane_own_desktop NAME: a desktop of its own for one test program, in a
# fresh folder under the run's folder (TOLVANE_WINE_RUNS, which
# tolvane_env_start sets; build/wine-runs otherwise): a copy of the template
# prefix, an Xvfb (the inherited display when there is no Xvfb), the
# prefix's services started. Exports WINEPREFIX and DISPLAY for it and sets
# tolvane_desktop to the folder, which tolvane_desktop_stop ends. Returns 1
# (after cleaning up) when any part cannot be had.
tolvane_own_desktop() {
  local runs=${TOLVANE_WINE_RUNS:-$tolvane_runs}
  mkdir -p "$runs" || return 1
  tolvane_desktop=$(mktemp -d "$runs/$1.XXXXXX") || return 1
  tolvane_wine_template || { tolvane_desktop_stop "$tolvane_desktop"; return 1; }
  tolvane_prefix_copy "$tolvane_template" "$tolvane_desktop/prefix" || { tolvane_desktop_stop "$tolvane_desktop"; return 1; }
  if command -v Xvfb >/dev/null 2>&1; then
    tolvane_xvfb "$tolvane_desktop/display" || { tolvane_desktop_stop "$tolvane_desktop"; return 1; }
    echo "$tolvane_xvfb_new_pid" >"$tolvane_desktop/xvfb.pid"
    export DISPLAY=$tolvane_xvfb_new_display
  fi
  export WINEPREFIX=$tolvane_desktop/prefix
  tolvane_wine_prestart
}

# tolvane_desktop_stop FOLDER: ends what tolvane_own_desktop started in
# FOLDER (the prefix's server with every program still running in it, the
# Xvfb) and removes the folder. Also for a desktop whose test was killed.
tolvane_desktop_stop() {
  local folder=$1 pid
  [ -d "$folder" ] || return 0
  if [ -f "$folder/prefix/system.reg" ]; then
    WINEPREFIX="$folder/prefix" wineserver -k >/dev/null 2>&1 </dev/null || true
  fi
  pid=$(cat "$folder/xvfb.pid" 2>/dev/null)
  if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
    kill "$pid" 2>/dev/null || true
    # Not our child when the test's runner was killed: wait by polling.
    local i
    for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$folder"
}

tolvane_env_stop() {
  local folder
  if [ -n "${TOLVANE_WINE_RUNS:-}" ] && [ -d "$TOLVANE_WINE_RUNS" ]; then
    for folder in "$TOLVANE_WINE_RUNS"/*/; do
      [ -d "$folder" ] && tolvane_desktop_stop "${folder%/}"
    done
    rmdir "$TOLVANE_WINE_RUNS" 2>/dev/null || true
  fi
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  if [ -n "$tolvane_xvfb_pid" ]; then
    kill "$tolvane_xvfb_pid" 2>/dev/null || true
    wait "$tolvane_xvfb_pid" 2>/dev/null || true
  fi
}

tolvane_env_start() {
  if [ -z "${DISPLAY:-}" ]; then
    mkdir -p "$top/build" || return 1
    tolvane_xvfb "$top/build/.xvfb-display.$$" || { echo "no display and Xvfb would not start" >&2; return 1; }
    rm -f "$top/build/.xvfb-display.$$"
    tolvane_xvfb_pid=$tolvane_xvfb_new_pid
    export DISPLAY=$tolvane_xvfb_new_display
    echo "env: started Xvfb on $DISPLAY (pid $tolvane_xvfb_pid)"
  fi
  # The desktops of this run's single tests, all stopped with the run.
  mkdir -p "$tolvane_runs" || return 1
  TOLVANE_WINE_RUNS=$(mktemp -d "$tolvane_runs/run.XXXXXX") || return 1
  export TOLVANE_WINE_RUNS
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # A whole copy, not one with links: this prefix lives on, and what a
    # person installs into it must not reach the template.
    echo "env: creating Wine prefix $WINEPREFIX"
    tolvane_wine_template || return 1
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    cp -a "$tolvane_template/." "$WINEPREFIX/" || return 1
  fi
  # Start the prefix's server and services once, before the tests, so the
  # first test does not pay for them (scripts/wine-exec.sh keeps anything
  # Wine starts later away from the test runner's output).
  tolvane_wine_prestart
}
