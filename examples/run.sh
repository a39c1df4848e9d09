#!/bin/bash
# Builds the sample product into one self-extracting program with the
# publisher's tool, installs it under Wine and lists what the installation
# left in the private prefix.
#
#   examples/run.sh [--walk]
#
# The product folder is examples/ as a publisher keeps it (setup.xml, logo,
# licence, and the component folders under files/ that setup.xml names with
# <archive source="...">), copied to build/example-src/ with the sample's
# own program, pebble.exe, added to the core component's folder. Then
#   tolvane build build/example-src -o build/example --programs BIN --bundle
# checks the script, packs the archives (the core one also carries the
# uninstaller as uninstall/uninstall.exe), copies setup.exe and smooth.dll
# into build/example/ and writes build/example.exe, the one file to
# download. BIN is the win64 build's program folder (build/win64/bin, or
# $TOLVANE_BIN); the tool is the linux build's (build/linux/bin/tolvane, or
# $TOLVANE).
#
# Before the bundle starts, an earlier installation of the sample in the
# private Wine prefix (its folder and its shortcuts) is removed, so what is
# listed afterwards comes from this run.
#
# With a display (DISPLAY set) the bundle is started for a person to use.
# Without one, or with --walk, it runs on a private Xvfb and the e2e page
# walker (e2e_walk.exe of the win64 build) presses Next through every page
# of the wizard the bundle unpacked and started, saving a screenshot of each
# into build/example/screenshots/.
#
# Afterwards it lists the installed files, the uninstall script, the
# installed uninstaller and the shortcuts, and exits non-zero when it finds
# no installed files, no uninstall script, no uninstaller or no shortcut at
# all. It never runs the uninstaller itself.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
examples=$top/examples
# Both may be given relative to the caller's folder; the script changes folders.
bin=$(realpath -m "${TOLVANE_BIN:-$top/build/win64/bin}")
tool=$(realpath -m "${TOLVANE:-$top/build/linux/bin/tolvane}")
source_stage=$top/build/example-src
stage=$top/build/example
bundle=$stage.exe
walk=no

for arg in "$@"; do
  case $arg in
    --walk) walk=yes ;;
    -h|--help) sed -n '2,31p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "${DISPLAY:-}" ] || walk=yes

for f in setup.exe smooth.dll pebble.exe uninstall.exe bundle_stub.exe; do
  if [ ! -f "$bin/$f" ]; then
    echo "run.sh: $bin/$f is missing: build the win64 preset first" >&2
    echo "        (cmake --preset win64 && cmake --build build/win64)" >&2
    exit 1
  fi
done

if [ ! -x "$tool" ]; then
  echo "run.sh: no publisher's tool at $tool: build the linux preset first" >&2
  echo "        (cmake --preset linux && cmake --build build/linux)" >&2
  exit 1
fi

echo "copying the sample product to $source_stage"
rm -rf "$source_stage"
mkdir -p "$source_stage"
cp -R "$examples/setup.xml" "$examples/logo.bmp" "$examples/license.txt" "$examples/files" "$source_stage/"
cp "$bin/pebble.exe" "$source_stage/files/app/"
rm -rf "$stage" "$bundle"
echo "tolvane build $source_stage -o $stage --programs $bin --bundle"
if ! "$tool" build "$source_stage" -o "$stage" --programs "$bin" --bundle; then
  echo "run.sh: the publisher's tool could not build the sample" >&2
  exit 1
fi

# Private Wine prefix and, without a display, a private Xvfb; both stopped
# on the way out.
source "$top/scripts/env.sh"
# Stamp to tell this run's shortcuts from anything older in the prefix; kept
# out of the staged product.
stamp=$(mktemp)
trap 'tolvane_env_stop; rm -f "$stamp"' EXIT
tolvane_env_start

# Where the sample lands in the prefix, as setup.xml names it: the default
# folder under Program Files, the Start menu group, and the link names. The
# desktop and Quick Launch links begin with the product's name; the
# uninstaller's link is only in the Start menu group, which goes as a whole.
# The special folders are asked of the prefix itself.
product="Pebble Notes"
uninstall_link="Uninstall $product"
win_var() {
  local value
  value=$(wine cmd /c echo "%$1%" 2>/dev/null </dev/null | tr -d '\r' | tail -n 1)
  [ "$value" = "%$1%" ] && value=
  printf '%s' "$value"
}
unix_path() { winepath -u "$1" 2>/dev/null </dev/null | tr -d '\r'; }
# Paths inside the prefix shown as drive_c/... rather than through the
# dosdevices link.
real_path() { realpath -m "$1"; }

program_files=$(win_var ProgramFiles)
all_users=$(win_var ALLUSERSPROFILE)
public=$(win_var PUBLIC)
appdata=$(win_var APPDATA)
if [ -z "$program_files" ] || [ -z "$all_users" ] || [ -z "$public" ] || [ -z "$appdata" ]; then
  echo "run.sh: the Wine prefix $WINEPREFIX does not say where Program Files, ProgramData, Public or AppData are" >&2
  exit 1
fi
target_win="$program_files\\$product"
group_win="$all_users\\Microsoft\\Windows\\Start Menu\\Programs\\$product"
desktop_win="$public\\Desktop"
quick_win="$appdata\\Microsoft\\Internet Explorer\\Quick Launch"
target=$(real_path "$(unix_path "$target_win")")
group=$(real_path "$(unix_path "$group_win")")
desktop=$(real_path "$(unix_path "$desktop_win")")
quick=$(real_path "$(unix_path "$quick_win")")
drive_c=$(real_path "$WINEPREFIX/drive_c")

# Only ever removes inside the private prefix.
remove_in_prefix() {
  local path
  for path in "$@"; do
    case $path in
      "$drive_c"/?*) rm -rf -- "$path" ;;
      *) echo "run.sh: not removing $path: outside $drive_c" >&2; exit 1 ;;
    esac
  done
}
echo "removing an earlier installation of $product from the Wine prefix"
remove_in_prefix "$target" "$group" "$desktop/$product"*.lnk "$quick/$product"*.lnk
touch "$stamp"
sleep 1

status=0
if [ "$walk" = no ]; then
  echo "starting $bundle on $DISPLAY"
  (cd "$(dirname "$bundle")" && wine "$bundle") || status=$?
else
  walker=$bin/e2e_walk.exe
  shots=$stage/screenshots
  mkdir -p "$shots"
  if [ ! -f "$walker" ]; then
    echo "run.sh: no walker at $walker: build e2e_walk of the win64 preset" >&2
    exit 1
  fi
  echo "walking the wizard of $bundle on $DISPLAY"
  wine "$walker" "$(winepath -w "$stage")" "$(winepath -w "$shots")" --setup "$(winepath -w "$bundle")" || status=$?
  echo "screenshots in $shots:"
  ls "$shots"
fi

# What the installation left behind.
echo
missing=0
files=()
[ -d "$target" ] && mapfile -t files < <(cd "$target" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "Nothing was installed: no files in $target_win ($target)."
  missing=1
else
  echo "Installed into $target_win ($target):"
  for f in "${files[@]}"; do
    printf '  %-32s %8s bytes\n' "${f//\//\\}" "$(stat -c %s "$target/$f")"
  done
fi

script="$target/uninstall/uninstall.xml"
if [ -f "$script" ]; then
  echo "Uninstall script: $target_win\\uninstall\\uninstall.xml ($script)"
else
  echo "Uninstall script: none at $target_win\\uninstall\\uninstall.xml"
  missing=1
fi

# The uninstaller came in with the core archive; a person starts it through
# its Start-menu shortcut (only when this run made one: the links page may
# have left the Start menu out).
uninstaller="$target/uninstall/uninstall.exe"
if [ -f "$uninstaller" ]; then
  if [ -n "$(find "$group" -maxdepth 1 -name "$uninstall_link.lnk" -newer "$stamp" 2>/dev/null)" ]; then
    how="start it from the Start menu: $product > $uninstall_link"
  else
    how="no Start-menu shortcut to it from this run"
  fi
  echo "Uninstaller: $target_win\\uninstall\\uninstall.exe ($uninstaller) ($how)"
else
  echo "Uninstaller: none at $target_win\\uninstall\\uninstall.exe"
  missing=1
fi

# A shortcut with where it points: a .lnk names its target as a plain
# Windows path.
describe_link() {
  local where
  where=$({ strings -n 4 "$1"; strings -n 4 -e l "$1"; } | grep -m 1 -E '^[A-Za-z]:\\' || true)
  echo "  $(winepath -w "$1" 2>/dev/null </dev/null | tr -d '\r')${where:+  -> $where}"
}
echo "Shortcuts:"
found=0
for folder in "$group" "$desktop" "$quick"; do
  [ -d "$folder" ] || continue
  while IFS= read -r link; do
    describe_link "$link"
    found=$((found + 1))
  done < <(find "$folder" -maxdepth 1 -name '*.lnk' -newer "$stamp" | LC_ALL=C sort)
done
# Shortcuts of this run anywhere else in the prefix (a folder this script
# did not think of).
while IFS= read -r link; do
  describe_link "$link"
  found=$((found + 1))
done < <(find "$drive_c" -name '*.lnk' -newer "$stamp" \
           -not -path "$group/*" -not -path "$desktop/*" -not -path "$quick/*" 2>/dev/null | LC_ALL=C sort)
if [ "$found" -eq 0 ]; then
  echo "  none (looked in $group_win, $desktop_win and $quick_win)"
  missing=1
fi
[ -d "$quick" ] || echo "  (no Quick Launch folder in this prefix: $quick_win)"

if [ "$status" -ne 0 ]; then
  echo "run.sh: the installation's run did not end well (exit code $status)" >&2
  exit "$status"
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "run.sh: setup.exe installed nothing" >&2
  exit 1
fi
if [ "$missing" -ne 0 ]; then
  echo "run.sh: the installation is incomplete: see above" >&2
  exit 1
fi
