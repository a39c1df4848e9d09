# Sourced by the run and test scripts: the private Wine prefix and, when there
# is no display, a private Xvfb. tolvane_env_start sets both up;
# tolvane_env_stop (installed as an EXIT trap) stops what was started.
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
tolvane_xvfb_pid=

tolvane_env_stop() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  if [ -n "$tolvane_xvfb_pid" ]; then
    kill "$tolvane_xvfb_pid" 2>/dev/null || true
    wait "$tolvane_xvfb_pid" 2>/dev/null || true
  fi
}

tolvane_env_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 91 140); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      tolvane_xvfb_pid=$!
      local i
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
      done
      if kill -0 "$tolvane_xvfb_pid" 2>/dev/null; then
        export DISPLAY=":$n"
        break
      fi
      tolvane_xvfb_pid=
    done
    [ -n "${DISPLAY:-}" ] || { echo "no display and Xvfb would not start" >&2; return 1; }
    echo "env: started Xvfb on $DISPLAY (pid $tolvane_xvfb_pid)"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "env: creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Start the prefix's server and services once, before the tests, so the
  # first test does not pay for them (scripts/wine-exec.sh keeps anything
  # Wine starts later away from the test runner's output).
  wineserver -p >/dev/null 2>&1 </dev/null
  wine wineboot >/dev/null 2>&1 </dev/null || true
}
