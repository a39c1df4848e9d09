#!/usr/bin/env bash
# Where the bytes of the shipped runtime go: setup.exe, smooth.dll and
# uninstall.exe of a Windows build (default build/win32, the shipping one).
#
#   scripts/size-report.sh [BUILD_DIR] [--members N]
#
# For each program: its size on disk, its size once stripped (the same when
# the build already strips at link time), and a table of what each input of
# the link put into the file, from the linker map the build writes next to
# the program (BUILD_DIR/map/NAME.map). The table sums the input sections the
# map lists in every section that takes room in the file (code, data,
# read-only data, unwind tables, imports, resources, relocations); debug
# sections are left out because strip removes them, and .bss takes no room
# in the file. What the table does not account for is the PE headers and the
# padding of each section to the file alignment. --members N also lists the N
# largest single object files (an archive member or one of our own objects).
# pugixml is compiled into platform/core/xml.cpp (its header-only mode), so
# its bytes count with smooth (platform/core).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/win32"
members=0
while [ $# -gt 0 ]; do
  case "$1" in
    --members) members=$2; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$1; shift ;;
  esac
done
[ -d "$build/bin" ] || { echo "size-report: no $build/bin" >&2; exit 1; }
goal=1048576

# The strip of the build's own toolchain: a 32-bit build has i686 files.
strip=x86_64-w64-mingw32-strip
if i686-w64-mingw32-objdump -f "$build/bin/setup.exe" 2>/dev/null | grep -q 'pei-i386'; then
  strip=i686-w64-mingw32-strip
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One map to "group<TAB>object<TAB>bytes" lines, one per input section.
contributions() {
  awk '
    /^Linker script and memory map/ { on = 1; next }
    !on { next }
    # An output section: its name starts the line.
    /^[^ \t]/ { split($0, f, /[ \t]+/); out = f[1]; pending = ""; next }
    function counted(s) {
      return s != "" && s !~ /^\.debug/ && s != ".bss" && s !~ /^\/DISCARD\// && s != ".stab" && s != ".stabstr"
    }
    function hex(s,   i, n) {
      n = 0; s = tolower(s); sub(/^0x/, "", s)
      for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
      return n
    }
    function add(size, file) {
      if (!counted(out)) return
      n = hex(size)
      if (n > 0) print out "\t" file "\t" n
    }
    # A long input section name stands alone; address, size and file follow
    # on the next line.
    pending != "" {
      if ($1 ~ /^0x/ && $2 ~ /^0x/ && NF >= 3) { file = $3; for (i = 4; i <= NF; i++) file = file " " $i; add($2, file) }
      pending = ""; next
    }
    /^ \*fill\*/ { add($3, "(padding between input sections)"); next }
    /^ [^ *]/ {
      if (NF == 1) { pending = $1; next }
      if ($2 ~ /^0x/ && $3 ~ /^0x/ && NF >= 4) { file = $4; for (i = 5; i <= NF; i++) file = file " " $i; add($3, file) }
    }
  ' "$1" | awk -F'\t' '
    {
      out = $1; file = $2; size = $3; group = ""
      member = file
      lib = file; sub(/\(.*$/, "", lib); n = split(lib, p, "/"); base = p[n]
      if (file ~ /^\(/) group = "padding"
      else if (file == "dll stuff" && out == ".edata") group = "export table (.edata)"
      else if (file == "dll stuff" && out == ".reloc") group = "base relocations (.reloc)"
      else if (file == "dll stuff" || file ~ /^linker stubs/ || file ~ /^(LONG|SHORT|BYTE|QUAD) /) group = "linker-made data"
      else if (base == "libstdc++.a") group = "libstdc++"
      else if (base == "libgcc.a" || base == "libgcc_eh.a") group = "libgcc"
      else if (base == "libpthread.a" || base == "libwinpthread.a") group = "winpthread"
      else if (base == "libbz2.a") group = "libbz2"
      else if (base == "libpugixml.a") group = "pugixml"
      else if (base ~ /^(crt2|dllcrt2|crtbegin|crtend)\.o$/ || base ~ /^lib(mingw32|mingwex|msvcrt|moldname|ucrt.*)\.a$/) group = "mingw CRT"
      else if (base == "libsmooth.dll.a") group = "imports from smooth.dll"
      else if (base ~ /^lib.*\.a$/ && file ~ /^\//) group = "imports from Windows DLLs"
      else if (base ~ /^lib.*\.a$/) { group = base; sub(/^lib/, "", group); sub(/\.a$/, "", group) }
      else if (file ~ /\.res$/) group = "resources (.rc)"
      else if (file ~ /CMakeFiles\/smooth\.dir\/__\/gui\//) group = "smooth (platform/gui)"
      else if (file ~ /CMakeFiles\/smooth\.dir\//) group = "smooth (platform/core)"
      else if (file ~ /CMakeFiles\/[^\/]+\.dir\//) { group = file; sub(/^.*CMakeFiles\//, "", group); sub(/\.dir\/.*/, "", group); group = group " (main)" }
      else group = "other: " base
      # An archive member by archive and member; our own objects by their
      # path in the build tree.
      if (file ~ /\(/) { m = file; sub(/^.*\//, "", m); member = m }
      print group "\t" member "\t" size
    }'
}

printf 'Build: %s (sizes in bytes; goal for the three programs together: %d)\n\n' "$build" "$goal"
total_disk=0; total_stripped=0
for name in setup.exe smooth.dll uninstall.exe; do
  bin="$build/bin/$name"
  map="$build/map/${name%.*}.map"
  [ -f "$bin" ] || { echo "size-report: no $bin" >&2; exit 1; }
  disk=$(stat -c %s "$bin")
  "$strip" -o "$tmp/$name" "$bin"
  stripped=$(stat -c %s "$tmp/$name")
  total_disk=$((total_disk + disk)); total_stripped=$((total_stripped + stripped))
  printf '== %s: %d on disk, %d stripped\n' "$name" "$disk" "$stripped"
  if [ ! -f "$map" ]; then
    echo "   (no linker map $map: the build writes one for each shipped program)"
    echo; continue
  fi
  contributions "$map" > "$tmp/rows"
  awk -F'\t' -v stripped="$stripped" '
    { sum[$1] += $3; all += $3 }
    END {
      for (g in sum) printf "%d\t%s\n", sum[g], g
      printf "%d\t%s\n", stripped - all, "(headers, section alignment)"
    }' "$tmp/rows" | sort -t$'\t' -k1,1nr | awk -F'\t' -v stripped="$stripped" '
    { printf "   %-34s %9d  %5.1f %%\n", $2, $1, 100 * $1 / stripped }'
  if [ "$members" -gt 0 ]; then
    echo "   largest object files:"
    awk -F'\t' '{ sum[$1 "\t" $2] += $3 } END { for (k in sum) print sum[k] "\t" k }' "$tmp/rows" |
      sort -t$'\t' -k1,1nr | head -n "$members" |
      awk -F'\t' '{ printf "     %9d  %-26s %s\n", $1, $2, $3 }'
  fi
  echo
done
printf 'Together: %d on disk, %d stripped; goal %d: %s by %d\n' "$total_disk" "$total_stripped" "$goal" \
  "$([ "$total_stripped" -le "$goal" ] && echo under || echo over)" \
  "$(( total_stripped > goal ? total_stripped - goal : goal - total_stripped ))"
