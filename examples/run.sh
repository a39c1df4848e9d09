#!/bin/bash
# Stages the sample product into build/example/ and starts its installer.
#
#   examples/run.sh [--walk]
#
# Staging copies setup.exe and smooth.dll from the win64 build (build/win64/bin,
# or $TOLVANE_BIN), the setup script, logo and licence, and packs the
# component archives from examples/files/ with the zbk tool of the linux build
# (build/linux/bin/zbk, or $ZBK) when it has been built; without it the
# archives are left out and the installation copies nothing.
#
# With a display (DISPLAY set) the installer is started for a person to use.
# Without one, or with --walk, it runs on a private Xvfb and the e2e page
# walker (e2e_walk.exe of the win64 build) presses Next through every page,
# saving a screenshot of each into build/example/screenshots/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
examples=$top/examples
bin=${TOLVANE_BIN:-$top/build/win64/bin}
zbk=${ZBK:-$top/build/linux/bin/zbk}
stage=$top/build/example
walk=no

for arg in "$@"; do
  case $arg in
    --walk) walk=yes ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "${DISPLAY:-}" ] || walk=yes

for f in setup.exe smooth.dll; do
  if [ ! -f "$bin/$f" ]; then
    echo "run.sh: $bin/$f is missing: build the win64 preset first" >&2
    echo "        (cmake --preset win64 && cmake --build build/win64)" >&2
    exit 1
  fi
done

echo "staging the sample product into $stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$bin/setup.exe" "$bin/smooth.dll" "$stage/"
cp "$examples/setup.xml" "$examples/logo.bmp" "$examples/license.txt" "$stage/"

# One archive per component, named as setup.xml names them; entry names are
# relative to the component's folder of sample files.
pack() {
  local archive=$1 source=$2
  if (cd "$source" && "$zbk" create "$stage/$archive" $(ls -A)); then
    echo "  $archive from examples/files/${source##*/files/}"
  else
    echo "run.sh: zbk could not pack $archive from $source" >&2
    exit 1
  fi
}
if [ -x "$zbk" ]; then
  pack pebble-core.zbk "$examples/files/app"
  pack pebble-docs.zbk "$examples/files/docs"
  pack pebble-plugins.zbk "$examples/files/plugins"
else
  echo "run.sh: no zbk tool at $zbk (build the linux preset): staging without archives" >&2
fi

# Private Wine prefix and, without a display, a private Xvfb; both stopped
# on the way out.
source "$top/scripts/env.sh"
trap tolvane_env_stop EXIT
tolvane_env_start

if [ "$walk" = no ]; then
  echo "starting setup.exe on $DISPLAY"
  cd "$stage"
  wine setup.exe
  exit $?
fi

walker=$bin/e2e_walk.exe
shots=$stage/screenshots
mkdir -p "$shots"
if [ ! -f "$walker" ]; then
  # Without the walker there is nobody to press the buttons: show the first
  # page, keep a picture of it, and end the installer.
  echo "run.sh: no walker at $walker: saving the first page only" >&2
  (cd "$stage" && exec wine setup.exe) &
  setup_pid=$!
  sleep 8
  import -display "$DISPLAY" -window root "$shots/01-first-page-screen.png"
  kill "$setup_pid" 2>/dev/null || true
  wait "$setup_pid" 2>/dev/null || true
  echo "saved $shots/01-first-page-screen.png"
  exit 0
fi

echo "walking the wizard on $DISPLAY"
status=0
wine "$walker" "$(winepath -w "$stage")" "$(winepath -w "$shots")" || status=$?
echo "screenshots in $shots:"
ls "$shots"
exit $status
