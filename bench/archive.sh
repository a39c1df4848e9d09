#!/bin/bash
# zbk side by side with tar+bzip2 and lbzip2 on a realistic tree, in one run:
#   create  : zbk create --jobs 1 and --jobs 2  vs  tar -cjf and tar through
#             lbzip2 -n 2 (and zbk --jobs 8, whose archive must be the same)
#   extract : zbk extract  vs  tar -xjf and tar through lbzip2 -d -n 2
#   add     : zbk add (one small file to the large archive), relative to create
#   remove  : zbk remove (one entry of the large archive, full rewrite)
# Prints elapsed time, CPU time, each command's peak memory (max RSS), the
# ratios to tar and to lbzip2 with as many threads, the archive's chunk sizes
# and what they allow on more cores.
# Everything is built and written under build/bench/ (never committed).
#
# Usage: bench/archive.sh [TREE-MiB]   (default 260, at least 200)
#   BENCH_JOBS=N   threads for the parallel runs (default 2)
#   BENCH_SMOKE=1  a small tree (default 24 MiB) and 2,000 small files, all
#                  under build/bench/smoke/: checks that the script runs; its
#                  numbers mean nothing.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH=$ROOT/build/bench
WANT_MIB=${1:-260}
MANY_FOLDERS=100
PAR=${BENCH_JOBS:-2}
TIME=/usr/bin/time

if [ "${BENCH_SMOKE:-0}" = 1 ]; then
	BENCH=$ROOT/build/bench/smoke
	WANT_MIB=${1:-24}
	MANY_FOLDERS=2
fi

[ -x "$TIME" ] || { echo "bench: $TIME missing (Debian package 'time')" >&2; exit 1; }
command -v bzip2 >/dev/null || { echo "bench: bzip2 missing" >&2; exit 1; }
command -v lbzip2 >/dev/null || { echo "bench: lbzip2 missing (scripts/setup.sh installs it)" >&2; exit 1; }

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
measure lbz_create tar -C "$TREE" -I "lbzip2 -n $PAR" -cf "$WORK/lbzip2.tar.bz2" usr
measure zbk1_create "$ZBK" create "$WORK/tree1.zbk" --jobs 1 -C "$TREE" usr
measure zbk_create "$ZBK" create "$WORK/tree.zbk" --jobs "$PAR" -C "$TREE" usr
# More threads than cores: slower here, but the same bytes.
measure zbk8_create "$ZBK" create "$WORK/tree8.zbk" --jobs 8 -C "$TREE" usr
cmp -s "$WORK/tree1.zbk" "$WORK/tree.zbk" && cmp -s "$WORK/tree1.zbk" "$WORK/tree8.zbk" ||
	{ echo "bench: zbk create wrote different archives for --jobs 1, $PAR and 8" >&2; exit 1; }
rm -f "$WORK/tree1.zbk" "$WORK/tree8.zbk"
# zbk stores files sorted by name, so that the same inputs give the same
# bytes. tar takes them in the order the folders list them. Sorted by name,
# similar files sit together: the archive is smaller, but bzip2's block sort
# works harder on it. tar on the same order shows how much of the difference
# comes from the order alone.
measure tar_sorted_create tar --sort=name -C "$TREE" -cjf "$WORK/sorted.tar.bz2" usr

echo "== extract"
mkdir -p "$WORK/x_tar" "$WORK/x_lbz" "$WORK/x_zbk"
measure tar_extract tar -C "$WORK/x_tar" -xjf "$WORK/tree.tar.bz2"
measure lbz_extract tar -C "$WORK/x_lbz" -I "lbzip2 -d -n $PAR" -xf "$WORK/tree.tar.bz2"
measure zbk_extract "$ZBK" extract "$WORK/tree.zbk" -C "$WORK/x_zbk"
diff -r "$WORK/x_tar" "$WORK/x_zbk" >/dev/null || { echo "bench: zbk extracted a different tree than tar" >&2; exit 1; }
diff -r "$WORK/x_tar" "$WORK/x_lbz" >/dev/null || { echo "bench: lbzip2 extracted a different tree than tar" >&2; exit 1; }
diff -r "$TREE/usr" "$WORK/x_zbk/usr" >/dev/null || { echo "bench: zbk extracted a different tree than its input" >&2; exit 1; }
rm -rf "$WORK/x_tar" "$WORK/x_lbz" "$WORK/x_zbk"

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
echo "== $((MANY_FOLDERS * 1000)) small files"
MANY=$WORK/many
mkdir -p "$MANY/src"
python3 - "$MANY/src" "$MANY_FOLDERS" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(int(sys.argv[2])):
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
[ "${BENCH_SMOKE:-0}" = 1 ] && echo "SMOKE RUN on a small tree: the numbers below mean nothing"
echo "cores: $(nproc); parallel runs use $PAR threads"
# Elapsed time is what a user waits; CPU time (user + system) shows the work
# done, on however many cores, and is steadier on a shared machine.
row() {	# NAME LABEL TAR LBZIP2
	local tar_ratio=- lbz_ratio=-
	[ "$3" = - ] || tar_ratio=$(ratio "$(secs "$1")" "$(secs "$3")")
	[ "$4" = - ] || lbz_ratio=$(ratio "$(secs "$1")" "$(secs "$4")")
	printf "%-34s %8s %8s %9s %9s %11s\n" "$2" "$(secs "$1")" "$(cpu "$1")" "$(mib "$(kib "$1")")" "$tar_ratio" "$lbz_ratio"
}
printf "%-34s %8s %8s %9s %9s %11s\n" "command" "elapsed" "cpu s" "peak MiB" "/ tar -j" "/ lbzip2 -n$PAR"
row tar_create "create  tar -cjf" - -
row lbz_create "create  tar | lbzip2 -n $PAR" tar_create -
row zbk1_create "create  zbk --jobs 1" tar_create lbz_create
row zbk_create "create  zbk --jobs $PAR" tar_create lbz_create
row zbk8_create "create  zbk --jobs 8" tar_create lbz_create
row tar_sorted_create "create  tar --sort=name -cjf" tar_create -
row tar_extract "extract tar -xjf" - -
row lbz_extract "extract tar | lbzip2 -d -n $PAR" tar_extract -
row zbk_extract "extract zbk" tar_extract lbz_extract
row zbk_add "add     zbk (one small file)" - -
row zbk_remove "remove  zbk (one entry)" - -
row zbk_test "test    zbk" - -
printf "sizes: tree.zbk %d bytes, tree.tar.bz2 %d bytes, lbzip2's %d bytes; removed entry: %s\n" \
	"$(stat -c %s "$WORK/tree.zbk")" "$(stat -c %s "$WORK/tree.tar.bz2")" "$(stat -c %s "$WORK/lbzip2.tar.bz2")" "$victim"
echo "archives of zbk create --jobs 1, $PAR and 8: byte for byte the same"

# The chunks decide how far more threads can go: each is one bzip2 stream,
# compressed and decoded by one thread. The schedule below replays zbk's own
# (chunks start in order, at most twice the threads started and not yet
# written) with each chunk's input bytes standing for its time.
echo
python3 - "$WORK/list.txt" <<'PY'
import sys
sizes, entries = {}, []
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    fields = line.split()
    if len(fields) >= 3:
        sizes[int(fields[1])] = sizes.get(int(fields[1]), 0) + int(fields[0])
        entries.append(int(fields[0]))
chunks = [sizes[c] for c in sorted(sizes)]
mib = lambda b: b / 1048576
ordered = sorted(chunks)
print("chunks: %d, input MiB per chunk: min %.1f, median %.1f, max %.1f, total %.1f" % (
    len(chunks), mib(ordered[0]), mib(ordered[len(ordered) // 2]), mib(ordered[-1]), mib(sum(chunks))))
print("in file order (MiB): " + " ".join("%.1f" % mib(b) for b in chunks[:64]) + (" ..." if len(chunks) > 64 else ""))
def cut(limit):  # the chunks zbk create would make with another byte limit
    result, held, count = [], 0, 0
    for size in entries:
        if count and (held >= limit or count >= 500):
            result.append(held)
            held, count = 0, 0
        held, count = held + size, count + 1
    return result + [held] if count else result
def makespan(chunks, threads):
    free, done, window, clock, last = [0.0] * threads, [], 2 * threads, 0.0, 0.0
    for i, size in enumerate(chunks):
        start = max(min(free), last)  # chunks start in order
        if i >= window:
            start = max(start, done[i - window])  # waits until that chunk is written
        end, last = start + size, start
        free[free.index(min(free))] = end
        clock = max(clock, end)
        done.append(clock)  # written in order: not before the ones before it
    return clock
print("best speed-up the chunks allow (compression or decoding alone, bytes as time):")
print("  %-26s" % "threads:" + "".join("%7d" % t for t in (1, 2, 4, 8)))
for label, plan in (("these chunks", chunks), ("if cut at 16 MiB: %d" % len(cut(16 << 20)), cut(16 << 20)), ("if cut at 8 MiB: %d" % len(cut(8 << 20)), cut(8 << 20))):
    one = makespan(plan, 1)
    print("  %-26s" % label + "".join(" %5.2fx" % (one / makespan(plan, t)) for t in (1, 2, 4, 8)))
PY

create_ratio=$(ratio "$(secs zbk_create)" "$(secs tar_create)")
create_lbz=$(ratio "$(secs zbk_create)" "$(secs lbz_create)")
extract_ratio=$(ratio "$(secs zbk_extract)" "$(secs tar_extract)")
extract_lbz=$(ratio "$(secs zbk_extract)" "$(secs lbz_extract)")
speedup=$(ratio "$(secs zbk1_create)" "$(secs zbk_create)")
add_share=$(echo "scale=4; $(secs zbk_add) / $(secs zbk_create) * 100" | bc -l | sed 's/^\./0./')
peak=0
for op in zbk1_create extract add remove test; do
	name=$op; [ "$op" = zbk1_create ] || name=zbk_$op
	[ "$(kib "$name")" -gt "$peak" ] && peak=$(kib "$name")
done

echo
echo "create  : zbk --jobs $PAR ${create_ratio}x tar -cjf elapsed (target <= 0.55): $(ok "$create_ratio <= 0.55"); ${create_lbz}x lbzip2 -n $PAR"
echo "          --jobs 1 to --jobs $PAR: ${speedup}x faster"
echo "extract : zbk ${extract_ratio}x tar -xjf elapsed (target <= 0.65): $(ok "$extract_ratio <= 0.65"); ${extract_lbz}x lbzip2 -d -n $PAR"
echo "add     : ${add_share}% of the create time (target < 2%): $(ok "$add_share < 2")"
echo "memory  : zbk peak $(mib "$peak") MiB over the one-thread commands (target < 16 MiB): $(ok "$peak < 16384");" \
	"create --jobs $PAR $(mib "$(kib zbk_create)") MiB, --jobs 8 $(mib "$(kib zbk8_create)") MiB (one compressor per job)"
echo "create, same file order: $(ratio "$(secs zbk_create)" "$(secs tar_sorted_create)")x tar --sort=name -cjf ($(stat -c %s "$WORK/sorted.tar.bz2") bytes)"
many_peak=0
for op in create list extract add; do [ "$(kib many_$op)" -gt "$many_peak" ] && many_peak=$(kib many_$op); done
echo "$((MANY_FOLDERS * 1000)) entries: peak MiB create $(mib "$(kib many_create)"), list $(mib "$(kib many_list)"), extract $(mib "$(kib many_extract)"), add $(mib "$(kib many_add)") (target < 16 MiB): $(ok "$many_peak < 16384")"
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
