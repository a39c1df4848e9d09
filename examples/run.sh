#!/bin/bash
# Stages the sample product into build/example/, installs it under Wine with
# its setup.exe and lists what the installation left in the private prefix.
#
#   examples/run.sh [--walk]
#
# Staging copies setup.exe and smooth.dll from the win64 build (build/win64/bin,
# or $TOLVANE_BIN), the setup script, logo and licence, and packs the
# component archives from examples/files/ with the zbk tool of the linux build
# (build/linux/bin/zbk, or $ZBK). The core archive also carries the sample's
# program, pebble.exe, and the uninstaller, as uninstall/uninstall.exe, both
# of the same win64 build.
#
# Before setup.exe starts, an earlier installation of the sample in the
# private Wine prefix (its folder and its shortcuts) is removed, so what is
# listed afterwards comes from this run.
#
# With a display (DISPLAY set) the installer is started for a person to use.
# Without one, or with --walk, it runs on a private Xvfb and the e2e page
# walker (e2e_walk.exe of the win64 build) presses Next through every page,
# saving a screenshot of each into build/example/screenshots/.
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
zbk=$(realpath -m "${ZBK:-$top/build/linux/bin/zbk}")
stage=$top/build/example
walk=no

for arg in "$@"; do
  case $arg in
    --walk) walk=yes ;;
    -h|--help) sed -n '2,26p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "${DISPLAY:-}" ] || walk=yes

for f in setup.exe smooth.dll pebble.exe uninstall.exe; do
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
# relative to the component's folder of files. Every file is named on its
# own (uninstall/uninstall.exe, not the folder uninstall), so the archives
# hold files only: a folder named to zbk becomes an entry of its own too.
pack() {
  local archive=$1 source=$2 shown=$3 names=()
  mapfile -d '' -t names < <(cd "$source" && find . -type f -printf '%P\0' | LC_ALL=C sort -z)
  if [ ${#names[@]} -gt 0 ] && "$zbk" create "$stage/$archive" -C "$source" "${names[@]}"; then
    echo "  $archive from $shown"
  else
    echo "run.sh: zbk could not pack $archive from $source" >&2
    exit 1
  fi
}
if [ ! -x "$zbk" ]; then
  echo "run.sh: no zbk tool at $zbk: build the linux preset first" >&2
  echo "        (cmake --preset linux && cmake --build build/linux)" >&2
  exit 1
fi
# The core component is the program with its files and the uninstaller:
# staged together in a folder of their own, so no binary ever lands in
# examples/files. The uninstaller goes in as uninstall/uninstall.exe, so it
# is installed beside the uninstall script the installation writes.
core=$stage/core-files
mkdir -p "$core/uninstall"
cp -R "$examples/files/app/." "$core/"
cp "$bin/pebble.exe" "$core/"
cp "$bin/uninstall.exe" "$core/uninstall/uninstall.exe"
pack pebble-core.zbk "$core" "examples/files/app + pebble.exe + uninstall/uninstall.exe"
rm -rf "$core"
pack pebble-docs.zbk "$examples/files/docs" examples/files/docs
pack pebble-plugins.zbk "$examples/files/plugins" examples/files/plugins

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
  echo "starting setup.exe on $DISPLAY"
  (cd "$stage" && wine setup.exe) || status=$?
else
  walker=$bin/e2e_walk.exe
  shots=$stage/screenshots
  mkdir -p "$shots"
  if [ ! -f "$walker" ]; then
    echo "run.sh: no walker at $walker: build e2e_walk of the win64 preset" >&2
    exit 1
  fi
  echo "walking the wizard on $DISPLAY"
  wine "$walker" "$(winepath -w "$stage")" "$(winepath -w "$shots")" || status=$?
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
  echo "run.sh: setup.exe's run did not end well (exit code $status)" >&2
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
