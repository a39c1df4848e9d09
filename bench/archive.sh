#!/bin/bash
# zbk side by side with tar+bzip2 on a realistic tree, in one run:
#   create  : zbk create          vs  tar -cjf
#   extract : zbk extract         vs  tar -xjf
#   add     : zbk add (one small file to the large archive), relative to create
#   remove  : zbk remove (one entry of the large archive, full rewrite)
# Prints elapsed time, each command's peak memory (max RSS) and the ratios.
# Everything is built and written under build/bench/ (never committed).
#
# Usage: bench/archive.sh [TREE-MiB]   (default 260, at least 200)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH=$ROOT/build/bench
WANT_MIB=${1:-260}
TIME=/usr/bin/time

[ -x "$TIME" ] || { echo "bench: $TIME missing (Debian package 'time')" >&2; exit 1; }
command -v bzip2 >/dev/null || { echo "bench: bzip2 missing" >&2; exit 1; }

mkdir -p "$BENCH"

# --- the release build of zbk ---------------------------------------------
echo "== building zbk (Release) in $BENCH/build"
cmake --preset linux -B "$BENCH/build" -DCMAKE_BUILD_TYPE=Release \
	-DTOLVANE_DIRS="platform/core;setup/archive;tools/zbk" >"$BENCH/cmake.log" 2>&1
cmake --build "$BENCH/build" -j2 --target zbk >>"$BENCH/cmake.log" 2>&1
ZBK=$BENCH/build/bin/zbk

# --- the input tree ---------------------------------------------------------
. "$ROOT/bench/tree.sh"
TREE=$BENCH/tree
bench_build_tree "$TREE" "$WANT_MIB"
bench_tree_summary "$TREE"

# Warm the page cache so both tools read the tree from memory alike.
find "$TREE/usr" -type f -exec cat {} + >/dev/null

WORK=$BENCH/work
rm -rf "$WORK"
mkdir -p "$WORK"
# zbk's chunk cache lives in the temporary folder: keep it on this disk.
export TMPDIR=$WORK/tmp
mkdir -p "$TMPDIR"

# measure NAME COMMAND...: runs it, records "seconds max-RSS-KiB user-s sys-s"
# in $WORK/NAME.t (CPU times include the children a command waited for, such
# as tar's bzip2).
measure() {
	local name=$1
	shift
	if ! "$TIME" -f "%e %M %U %S" -o "$WORK/$name.t" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"; then
		echo "bench: $name failed:" >&2
		cat "$WORK/$name.err" >&2
		exit 1
	fi
}
secs() { cut -d' ' -f1 "$WORK/$1.t"; }
kib() { cut -d' ' -f2 "$WORK/$1.t"; }
cpu() { awk '{ printf "%.2f", $3 + $4 }' "$WORK/$1.t"; }

echo "== load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== create"
measure tar_create tar -C "$TREE" -cjf "$WORK/tree.tar.bz2" usr
measure zbk_create "$ZBK" create "$WORK/tree.zbk" -C "$TREE" usr
# zbk stores files sorted by name, so that the same inputs give the same
# bytes. tar takes them in the order the folders list them. Sorted by name,
# similar files sit together: the archive is smaller, but bzip2's block sort
# works harder on it. tar on the same order shows how much of the difference
# comes from the order alone.
measure tar_sorted_create tar --sort=name -C "$TREE" -cjf "$WORK/sorted.tar.bz2" usr

echo "== extract"
mkdir -p "$WORK/x_tar" "$WORK/x_zbk"
measure tar_extract tar -C "$WORK/x_tar" -xjf "$WORK/tree.tar.bz2"
measure zbk_extract "$ZBK" extract "$WORK/tree.zbk" -C "$WORK/x_zbk"
diff -r "$WORK/x_tar" "$WORK/x_zbk" >/dev/null || { echo "bench: zbk extracted a different tree than tar" >&2; exit 1; }
diff -r "$TREE/usr" "$WORK/x_zbk/usr" >/dev/null || { echo "bench: zbk extracted a different tree than its input" >&2; exit 1; }
rm -rf "$WORK/x_tar" "$WORK/x_zbk"

echo "== add and remove on the large archive"
echo "one small file added to a large archive" >"$WORK/small.txt"
cp "$WORK/tree.zbk" "$WORK/add.zbk"
measure zbk_add "$ZBK" add "$WORK/add.zbk" --as extra/small.txt "$WORK/small.txt"
"$ZBK" list "$WORK/tree.zbk" >"$WORK/list.txt"
victim=$(awk 'NR == int(n / 2) { sub(/^ *[0-9]+ +[0-9]+  /, ""); print }' n="$(wc -l <"$WORK/list.txt")" "$WORK/list.txt")
cp "$WORK/tree.zbk" "$WORK/remove.zbk"
measure zbk_remove "$ZBK" remove "$WORK/remove.zbk" "$victim"
measure zbk_test "$ZBK" test "$WORK/remove.zbk"

# Many small files: the index grows with the number of entries, whatever
# their size, so memory is measured on 100,000 entries too.
echo "== 100,000 small files"
MANY=$WORK/many
mkdir -p "$MANY/src"
python3 - "$MANY/src" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(100):
    os.mkdir(os.path.join(root, "dir%03d" % d))
    for f in range(1000):
        with open(os.path.join(root, "dir%03d" % d, "file_%05d.txt" % f), "w") as out:
            out.write("entry %d of folder %d\n" % (f, d))
PY
measure many_create "$ZBK" create "$MANY/many.zbk" -C "$MANY/src" .
measure many_list "$ZBK" list "$MANY/many.zbk"
measure many_extract "$ZBK" extract "$MANY/many.zbk" -C "$MANY/out"
measure many_add "$ZBK" add "$MANY/many.zbk" --as extra/small.txt "$WORK/small.txt"
diff -r "$MANY/src" "$MANY/out" >/dev/null || { echo "bench: zbk extracted a different tree of small files" >&2; exit 1; }
rm -rf "$MANY/src" "$MANY/out"

# --- report -----------------------------------------------------------------
ratio() { echo "scale=3; $1 / $2" | bc -l | sed 's/^\./0./'; }
mib() { echo "scale=1; $1 / 1024" | bc -l | sed 's/^\./0./'; }
ok() { if [ "$(echo "$1" | bc -l)" = 1 ]; then echo "met"; else echo "NOT met"; fi; }

echo
# Elapsed time is what a user waits; CPU time (user + system) is steadier on
# a machine shared with other work, so both are shown.
printf "%-9s %9s %9s %7s %9s %9s %7s %13s %13s\n" "operation" "zbk s" "tar s" "ratio" "zbk cpu" "tar cpu" "ratio" "zbk peak MiB" "tar peak MiB"
for op in create extract; do
	printf "%-9s %9s %9s %7s %9s %9s %7s %13s %13s\n" "$op" "$(secs zbk_$op)" "$(secs tar_$op)" \
		"$(ratio "$(secs zbk_$op)" "$(secs tar_$op)")" "$(cpu zbk_$op)" "$(cpu tar_$op)" \
		"$(ratio "$(cpu zbk_$op)" "$(cpu tar_$op)")" "$(mib "$(kib zbk_$op)")" "$(mib "$(kib tar_$op)")"
done
for op in add remove test; do
	printf "%-9s %9s %9s %7s %9s %9s %7s %13s %13s\n" "$op" "$(secs zbk_$op)" "-" "-" "$(cpu zbk_$op)" "-" "-" "$(mib "$(kib zbk_$op)")" "-"
done
printf "sizes: tree.zbk %d bytes, tree.tar.bz2 %d bytes; removed entry: %s\n" \
	"$(stat -c %s "$WORK/tree.zbk")" "$(stat -c %s "$WORK/tree.tar.bz2")" "$victim"

create_ratio=$(ratio "$(secs zbk_create)" "$(secs tar_create)")
extract_ratio=$(ratio "$(secs zbk_extract)" "$(secs tar_extract)")
add_share=$(echo "scale=4; $(secs zbk_add) / $(secs zbk_create) * 100" | bc -l | sed 's/^\./0./')
peak=0
for op in create extract add remove test; do [ "$(kib zbk_$op)" -gt "$peak" ] && peak=$(kib zbk_$op); done

echo
create_cpu=$(ratio "$(cpu zbk_create)" "$(cpu tar_create)")
extract_cpu=$(ratio "$(cpu zbk_extract)" "$(cpu tar_extract)")
echo "create  : ${create_ratio}x tar -cjf elapsed, ${create_cpu}x CPU (target <= 1.10): $(ok "$create_ratio <= 1.10")"
echo "extract : ${extract_ratio}x tar -xjf elapsed, ${extract_cpu}x CPU (target <= 1.15): $(ok "$extract_ratio <= 1.15")"
echo "add     : ${add_share}% of the create time (target < 2%): $(ok "$add_share < 2")"
echo "memory  : zbk peak $(mib "$peak") MiB over all commands (target < 16 MiB): $(ok "$peak < 16384")"
echo "create, same file order: $(ratio "$(secs zbk_create)" "$(secs tar_sorted_create)")x tar --sort=name -cjf ($(stat -c %s "$WORK/sorted.tar.bz2") bytes)"
many_peak=0
for op in create list extract add; do [ "$(kib many_$op)" -gt "$many_peak" ] && many_peak=$(kib many_$op); done
echo "100,000 entries: peak MiB create $(mib "$(kib many_create)"), list $(mib "$(kib many_list)"), extract $(mib "$(kib many_extract)"), add $(mib "$(kib many_add)") (target < 16 MiB): $(ok "$many_peak < 16384")"
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
