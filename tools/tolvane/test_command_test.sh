#!/usr/bin/env bash
# `tolvane test` and `tolvane manifest` on the sample product, built with the
# win64 programs (the shipping 32-bit ones cannot run in this Wine): the
# sample passes, silently and walked through its wizard (with the default
# choices and with every component); held-back broken products, each made
# from the sample with one fault, fail with that fault named; the manifest validates against the
# package manager's schemas and its values are those the installation
# registered.
#
#   test_command_test.sh TOLVANE PROGRAMS EXAMPLES TEMPLATE SCHEMAS
#
# TOLVANE: the linux tool; PROGRAMS: the win64 build's bin folder, with the
# wizard walker (skipped, exit 77, when it holds no setup.exe); TEMPLATE: the Wine template folder;
# SCHEMAS: the schemas' folder (that part is skipped when it is missing).
set -uo pipefail
tolvane=$1 programs=$2 examples=$3 template=$4 schemas=$5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

[ -f "$programs/setup.exe" ] && [ -f "$programs/pebble.exe" ] && [ -f "$programs/tolvane_setup_fixture.exe" ] && [ -f "$programs/tolvane_walk.exe" ] || { echo "SKIP: no win64 programs in $programs"; exit 77; }
command -v wine >/dev/null || { echo "SKIP: no wine"; exit 77; }

# stage NAME: the sample as a publisher keeps it, in $work/NAME.
stage() {
  mkdir -p "$work/$1"
  cp -R "$examples/setup.xml" "$examples/logo.bmp" "$examples/license.txt" "$examples/files" "$work/$1/"
  cp "$programs/pebble.exe" "$work/$1/files/app/"
}
build() { "$tolvane" build "$work/$1" -o "$work/$1-out" --programs "$programs" --bundle >"$work/$1.build.log" 2>&1 || { cat "$work/$1.build.log"; fail "build $1"; }; }
# expect NAME CODE CHECK INSTALLER [ARGS]: tolvane test's exit code, and
# every finding (one at least with CHECK) of that check.
expect() {
  local name=$1 code=$2 check=$3; shift 3
  local start=$SECONDS
  "$tolvane" test "$@" --programs "$programs" --template "$template" --report "$work/$name.json" >"$work/$name.log" 2>&1
  local got=$?
  cat "$work/$name.log"
  echo "$name: $((SECONDS - start)) s"
  [ "$got" = "$code" ] || fail "$name: exit code $got, expected $code"
  if [ -n "$check" ]; then
    python3 - "$work/$name.json" "$check" <<'PY' || fail "$name: the findings are not one kind: $check"
import json, sys
report = json.load(open(sys.argv[1]))
checks = {f["check"] for f in report["findings"]}
sys.exit(0 if checks == {sys.argv[2]} else 1)
PY
  fi
}

# walked NAME: the wizard was walked to its end (its step timed).
walked() { grep -q '"name": "wizard"' "$work/$1.json" || fail "$1: the wizard was not walked"; }

# The sample passes, silently and walked; with every component marked, the
# plug-ins (an optional component) are installed and checked too.
stage sample && build sample
expect sample 0 "" "$work/sample-out.exe"
walked sample
expect sample-all 0 "" "$work/sample-out" --components all
walked sample-all

# Its manifest validates, and says what the installation registered.
"$tolvane" manifest "$work/sample-out.exe" --id ExampleWorks.PebbleNotes --url https://example.com/pebble-notes.exe -o "$work/m" >/dev/null || fail "manifest"
folder="$work/m/manifests/e/ExampleWorks/PebbleNotes/2.5"
if [ -d "$schemas" ]; then
  python3 "$here/manifest_schema_check.py" "$schemas" "$folder"/*.yaml || fail "manifest: not valid"
else
  echo "SKIP: no schemas in $schemas"
fi
python3 - "$folder/ExampleWorks.PebbleNotes.installer.yaml" "$work/sample.json" <<'PY' || fail "manifest: values differ from the registration"
import json, sys, yaml
manifest = yaml.safe_load(open(sys.argv[1]))
registered = json.load(open(sys.argv[2]))["registration"]
entry = manifest["AppsAndFeaturesEntries"][0]
pairs = [(entry["DisplayName"], registered["DisplayName"]), (entry["DisplayVersion"], registered["DisplayVersion"]),
         (entry["Publisher"], registered["Publisher"]), (entry["ProductCode"], registered["ProductCode"]),
         (manifest["ProductCode"], registered["ProductCode"]), (manifest["PackageVersion"], registered["DisplayVersion"])]
for want, have in pairs:
    if want != have:
        print(f"manifest {want!r}, registry {have!r}")
        sys.exit(1)
PY

# Held back: an installer whose uninstaller is missing (taken out of the
# built folder's core archive).
cp -R "$work/sample-out" "$work/nouninstaller"
"$(dirname "$tolvane")/zbk" remove "$work/nouninstaller/pebble-core.zbk" uninstall/uninstall.exe >/dev/null || fail "zbk remove"
expect no-uninstaller 1 uninstaller-missing "$work/nouninstaller"

# A product whose upgrade leaves an old file: its older version kept no
# uninstall log, so nothing tells the newer one what the older installed.
stage older
echo old >"$work/older/files/app/old-help.txt"
python3 - "$work/older/setup.xml" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
text = text.replace('createLog="true"', 'createLog="false"').replace("<version>2.5</version>", "<version>2.4</version>")
text = re.sub(r'\s*<link file="uninstall\\uninstall.exe">[^<]*</link>', "", text)
open(sys.argv[1], "w", encoding="utf-8").write(text)
PY
build older
# What the older version left then also stays after the removal (its folder
# and Start-menu group, which the newer one's log never listed).
expect upgrade 1 "" "$work/sample-out.exe" --from "$work/older-out.exe"
grep -q 'upgrade-leftover: .*old-help.txt' "$work/upgrade.log" || fail "upgrade: old-help.txt not named"

# A silent mode that shows a window: the folder's setup.exe is a program
# that opens its window whatever its command line says.
cp -R "$work/sample-out" "$work/window"
cp "$programs/pebble.exe" "$work/window/setup.exe"
# (With a template of another Wine's: the tool made it, so it makes it anew.)
echo "Wine 0.0" >"$template.version"
expect window 1 silent-window "$work/window"
grep -q "making it anew" "$work/window.log" && [ "$(cat "$template.version")" = "$(wine --version)" ] || fail "window: the template of another Wine was kept"

# A registered version that differs from the script's: the folder's
# setup.exe is a stand-in that runs the real installer, then rewrites the
# version it registered (our engine always registers the script's).
cp -R "$work/sample-out" "$work/version"
mv "$work/version/setup.exe" "$work/version/setup_real.exe"
cp "$programs/tolvane_setup_fixture.exe" "$work/version/setup.exe"
printf '%s\r\n' '@echo off' 'start /wait "" setup_real.exe %*' 'set code=%errorlevel%' \
  'reg add "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pebble Notes" /v DisplayVersion /d 2.5.1 /f >nul' \
  'exit /b %code%' >"$work/version/setup_fixture.cmd"
expect version 1 registration "$work/version"
grep -q "DisplayVersion: is '2.5.1', the script says '2.5'" "$work/version.log" || fail "version: the version's finding not named"

# A wizard that stops: with every component marked, the run cannot open
# the optional component's archive, which is gone, and asks what to do.
# The silent run does not install that component and passes.
cp -R "$work/sample-out" "$work/noplugins"
rm "$work/noplugins/pebble-plugins.zbk"
expect no-plugins 1 wizard "$work/noplugins" --components all --timeout 30
grep -q 'wizard: .*"Ready to install": a message box is open: "Setup": .*pebble-plugins.zbk' "$work/no-plugins.log" || fail "no-plugins: the page and the box not named"

# Cannot run: a 32-bit installer where Wine has no 32-bit part.
if [ ! -e /usr/lib/wine/wine ] && [ -f "$programs/../../win32/bin/setup.exe" ]; then
  cp -R "$work/sample-out" "$work/win32"
  cp "$programs/../../win32/bin/setup.exe" "$work/win32/setup.exe"
  expect win32 2 "" "$work/win32"
  grep -q "32-bit installer" "$work/win32.log" || fail "win32: no word on 32-bit"
fi

[ "$failures" = 0 ] && echo "PASSED" || echo "$failures FAILED"
[ "$failures" = 0 ]
