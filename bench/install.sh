#!/bin/bash
# The installation engine beside the archive tool and tar, in one run, on one
# component of the bench tree (about 250 MiB in thousands of files):
#   install : engine_bench.exe under Wine (the installation run without the
#             wizard: the component, its folders and the uninstall script),
#             chunks decoded ahead on the other cores (the default)
#   install1: the same with read-ahead off (ZBK_READ_AHEAD=0): one core
#   upgrade : engine_bench.exe over an installation of the previous version
#             that it made just before (not timed). The previous version is
#             the tree with one file in four changed (its last byte, so the
#             size stays and a comparison must read it all), one in 25
#             missing (new in this version) and one in 20 more (dropped by
#             this version): replaced files are kept in the run's backup
#             until it commits, files this version no longer has removed
#   upgrade-all: the same over a previous version whose every file differs
#             in its last byte: the worst case, every file replaced
#   zbk     : zbk.exe extract of the same archive under Wine
#   tar     : native tar -xjf of a tar.bz2 of the same tree
# The seven take turns, ROUNDS times (default 3), each into a fresh folder;
# the medians are compared. Wine is started once before the first timing, so
# every Windows command finds the same running wineserver.
# Everything is written under build/bench/ (never committed).
#
# Usage: bench/install.sh [TREE-MiB]   (default 260, at least 200)
# Environment: ROUNDS; for a smoke run of the script itself, whose times
# say nothing, BENCH_SMOKE=1 with a small TREE-MiB (bench/tree.sh), or
# BENCH_TREE, a folder holding a usr/ tree of any size to take as it is
# instead of the shared bench tree; TOLVANE_WIN64_BUILD and TOLVANE_LINUX_BUILD, the build
# folders to take the programs from (default build/win64 and build/linux;
# what is missing there is built); WINEPREFIX (default build/wp-bench).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH=$ROOT/build/bench
WANT_MIB=${1:-260}
ROUNDS=${ROUNDS:-3}
WIN_BUILD=$(realpath -m "${TOLVANE_WIN64_BUILD:-$ROOT/build/win64}")
LINUX_BUILD=$(realpath -m "${TOLVANE_LINUX_BUILD:-$ROOT/build/linux}")
TIME=/usr/bin/time

[ -x "$TIME" ] || { echo "bench: $TIME missing (Debian package 'time')" >&2; exit 1; }
command -v bzip2 >/dev/null || { echo "bench: bzip2 missing" >&2; exit 1; }
command -v wine >/dev/null || { echo "bench: wine missing (scripts/setup.sh installs it)" >&2; exit 1; }

mkdir -p "$BENCH"

# --- the programs -----------------------------------------------------------
# build FOLDER PRESET TARGET...: builds the targets whose programs are missing.
build() {
	local folder=$1 preset=$2
	shift 2
	echo "== building $* in $folder"
	if [ ! -f "$folder/CMakeCache.txt" ]; then
		cmake --preset "$preset" -B "$folder" >>"$BENCH/install-cmake.log" 2>&1
	fi
	cmake --build "$folder" -j2 --target "$@" >>"$BENCH/install-cmake.log" 2>&1 ||
		{ echo "bench: the build failed, see $BENCH/install-cmake.log" >&2; exit 1; }
}
: >"$BENCH/install-cmake.log"
WIN_BIN=$WIN_BUILD/bin
LINUX_BIN=$LINUX_BUILD/bin
missing=()
for program in engine_bench.exe zbk.exe smooth.dll; do
	[ -f "$WIN_BIN/$program" ] || missing+=("${program%.*}")
done
[ ${#missing[@]} -eq 0 ] || build "$WIN_BUILD" win64 "${missing[@]}"
[ -x "$LINUX_BIN/zbk" ] || build "$LINUX_BUILD" linux zbk
echo "programs: $WIN_BIN (engine_bench.exe, zbk.exe, smooth.dll), $LINUX_BIN/zbk"

# --- the input tree, the archive and the tar file ---------------------------
. "$ROOT/bench/tree.sh"
if [ -n "${BENCH_TREE:-}" ]; then
	TREE=$(realpath "$BENCH_TREE")
	[ -d "$TREE/usr" ] || { echo "bench: BENCH_TREE=$BENCH_TREE has no usr folder" >&2; exit 1; }
	echo "tree: $TREE (BENCH_TREE, $(du -sm "$TREE/usr" | cut -f1) MiB): a smoke run, not a measurement"
else
	TREE=$BENCH/tree
	bench_build_tree "$TREE" "$WANT_MIB"
	bench_tree_summary "$TREE"
fi

WORK=$BENCH/install
rm -rf "$WORK"
mkdir -p "$WORK"
export TMPDIR=$WORK/tmp
mkdir -p "$TMPDIR"

# The staged installer folder: what setup.exe's folder holds, with the
# headless engine in the wizard's place.
STAGE=$WORK/stage
mkdir -p "$STAGE"
echo "== packing the tree: $STAGE/tree.zbk and $WORK/tree.tar.bz2"
"$LINUX_BIN/zbk" create "$STAGE/tree.zbk" -C "$TREE" usr >/dev/null
tar -C "$TREE" -cjf "$WORK/tree.tar.bz2" usr
cp "$WIN_BIN/engine_bench.exe" "$WIN_BIN/zbk.exe" "$WIN_BIN/smooth.dll" "$STAGE/"
cat >"$STAGE/setup.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<installer>
  <application><name>Bench Tree</name><version>1.0</version><company>Bench</company></application>
  <uninstall createLog="true"/>
  <components>
    <component id="tree" name="The bench tree" required="true" subdir=".">
      <archive>tree.zbk</archive><text>Every file of the bench tree.</text>
    </component>
  </components>
</installer>
XML
printf "archives: tree.zbk %d bytes, tree.tar.bz2 %d bytes\n" "$(stat -c %s "$STAGE/tree.zbk")" "$(stat -c %s "$WORK/tree.tar.bz2")"

# The previous versions, staged the same way as version 0.9 of the product.
# previous TREE EVERY: a copy of the tree (links to its files, so only what
# changes takes room) whose files, in sorted order, have their last byte
# changed when their number is a multiple of EVERY; with EVERY 4, files
# 25, 50, ... are missing and every 20th has a sibling "NAME.old".
previous() {
	python3 - "$TREE/usr" "$1/usr" "$2" <<'PY'
import os, shutil, sys
tree, copy, every = sys.argv[1], sys.argv[2], int(sys.argv[3])
shutil.rmtree(os.path.dirname(copy), ignore_errors=True)
shutil.copytree(tree, copy, copy_function=os.link)
names = sorted(os.path.relpath(os.path.join(d, f), copy) for d, _, fs in os.walk(copy) for f in fs)
for n, name in enumerate(names, 1):
    path = os.path.join(copy, name)
    if every > 1 and n % 25 == 0:
        os.unlink(path)
        continue
    if every > 1 and n % 20 == 0:
        shutil.copyfile(path, path + ".old")
    if n % every == 0:
        with open(path, "rb") as f:
            data = bytearray(f.read())
        os.unlink(path)
        if data:
            data[-1] ^= 1
        else:
            data = b"!"
        with open(path, "wb") as f:
            f.write(data)
PY
}
stage_previous() {
	local stage=$1 every=$2
	mkdir -p "$stage"
	previous "$WORK/tree-$every" "$every"
	"$LINUX_BIN/zbk" create "$stage/tree.zbk" -C "$WORK/tree-$every" usr >/dev/null
	rm -rf "$WORK/tree-$every"
	cp "$STAGE/engine_bench.exe" "$STAGE/smooth.dll" "$stage/"
	sed 's|<version>1.0</version>|<version>0.9</version>|' "$STAGE/setup.xml" >"$stage/setup.xml"
}
echo "== packing the previous versions: one file in four changed, and every file changed"
stage_previous "$WORK/stage-previous" 4
stage_previous "$WORK/stage-previous-all" 1

# --- Wine ---------------------------------------------------------------------
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/wp-bench}
top=$ROOT
. "$ROOT/scripts/env.sh"
trap tolvane_env_stop EXIT
tolvane_env_start
# Wine's own start is paid before the first timing, not by whichever
# command comes first.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

# Z:\ is the root of the linux file system in every prefix.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# --- the runs ---------------------------------------------------------------
# measure NAME FOLDER COMMAND...: runs COMMAND in FOLDER, records
# "seconds max-RSS-KiB user-s sys-s" in $WORK/NAME.t. Under Wine the CPU
# times are those of the processes the launcher waited for.
measure() {
	local name=$1 folder=$2
	shift 2
	if ! (cd "$folder" && "$TIME" -f "%e %M %U %S" -o "$WORK/$name.t" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" </dev/null); then
		echo "bench: $name failed:" >&2
		cat "$WORK/$name.out" "$WORK/$name.err" >&2
		exit 1
	fi
}

# fresh FOLDER: an empty folder, with the last run's writes on the disk, so a
# run does not pay for the one before it.
fresh() {
	rm -rf "$1"
	sync
}

# The archive module takes its number of read-ahead decoders from
# ZBK_READ_AHEAD when an archive is opened; Wine hands the variable on.
run_install() {
	fresh "$WORK/out"
	measure "install_$1" "$STAGE" wine engine_bench.exe "$(winpath "$WORK/out")"
	grep -q "failures: 0" "$WORK/install_$1.out" || { echo "bench: the install reported failures:" >&2; cat "$WORK/install_$1.out" >&2; exit 1; }
}
run_install1() {
	fresh "$WORK/out"
	measure "install1_$1" "$STAGE" env ZBK_READ_AHEAD=0 wine engine_bench.exe "$(winpath "$WORK/out")"
	grep -q "failures: 0" "$WORK/install1_$1.out" || { echo "bench: the install without read-ahead reported failures:" >&2; cat "$WORK/install1_$1.out" >&2; exit 1; }
}
# upgrade_from KIND STAGE ROUND: installs the previous version from STAGE,
# then times the installation of this one over it.
upgrade_from() {
	local kind=$1 previous=$2 round=$3
	fresh "$WORK/out"
	(cd "$previous" && wine engine_bench.exe "$(winpath "$WORK/out")" >"$WORK/${kind}_before_$round.out" 2>&1 </dev/null) ||
		{ echo "bench: the installation before the $kind failed:" >&2; cat "$WORK/${kind}_before_$round.out" >&2; exit 1; }
	sync
	measure "${kind}_$round" "$STAGE" wine engine_bench.exe "$(winpath "$WORK/out")"
	grep -q "failures: 0" "$WORK/${kind}_$round.out" || { echo "bench: the $kind reported failures:" >&2; cat "$WORK/${kind}_$round.out" >&2; exit 1; }
	[ ! -e "$WORK/out/uninstall/run" ] || { echo "bench: the $kind left its journal or backup" >&2; exit 1; }
}
run_upgrade() { upgrade_from upgrade "$WORK/stage-previous" "$1"; }
run_upgrade-all() { upgrade_from upgrade-all "$WORK/stage-previous-all" "$1"; }
run_zbk() {
	fresh "$WORK/out"
	measure "zbk_$1" "$STAGE" wine zbk.exe extract tree.zbk -C "$(winpath "$WORK/out")"
}
run_tar() {
	fresh "$WORK/out"
	mkdir -p "$WORK/out"
	measure "tar_$1" "$WORK" tar -xjf "$WORK/tree.tar.bz2" -C "$WORK/out"
}

# The first round also checks that each command wrote the whole tree. Names
# that differ only in case are one file on Windows, so the Windows commands
# leave one of them: such names are left out of the check for all three.
check() {
	python3 - "$TREE/usr" "$WORK/out/usr" "$1" <<'PY' || exit 1
import filecmp, os, sys
tree, out, kind = sys.argv[1:]
def files(root):
    return {os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs}
want, have = files(tree), files(out)
lower = {}
for name in want:
    lower.setdefault(name.lower(), []).append(name)
clash = {n for names in lower.values() if len(names) > 1 for n in names}
want -= clash
have -= clash
bad = sorted(want ^ have) + sorted(n for n in want & have if not filecmp.cmp(os.path.join(tree, n), os.path.join(out, n), shallow=False))
if bad:
    sys.exit("bench: %s wrote a different tree than the input: %s" % (kind, ", ".join(bad[:5])))
if clash:
    print("check: %s wrote the tree; %d names that differ only in case were not compared" % (kind, len(clash)))
PY
}

echo "== load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
kinds=(install install1 upgrade upgrade-all zbk tar)
for round in $(seq 1 "$ROUNDS"); do
	# Each round starts with another command, so none always runs first.
	for k in 0 1 2 3 4 5; do
		kind=${kinds[$(((round - 1 + k) % 6))]}
		"run_$kind" "$round"
		echo "round $round: $kind $(cut -d' ' -f1 "$WORK/${kind}_$round.t") s"
		if [ "$round" = 1 ]; then
			check "$kind"
			case $kind in install*|upgrade*)
				[ -f "$WORK/out/uninstall/uninstall.xml" ] || { echo "bench: the $kind wrote no uninstall script" >&2; exit 1; }
			esac
			# An upgrade's script lists each path once, as Windows compares
			# them (a first installation records names that differ only in
			# case twice, as it always has).
			if [ "${kind%-all}" = upgrade ]; then
				dups=$(grep -o '<file>[^<]*</file>' "$WORK/out/uninstall/uninstall.xml" | tr 'A-Z/' 'a-z\\' | sort | uniq -d | head -3)
				[ -z "$dups" ] || { echo "bench: the upgrade's script lists paths twice: $dups" >&2; exit 1; }
			fi
		fi
	done
done
rm -rf "$WORK/out"
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report -----------------------------------------------------------------
# median KIND FIELD: the median over the rounds of one field of the .t files.
median() {
	local kind=$1 field=$2
	for round in $(seq 1 "$ROUNDS"); do cut -d' ' -f"$field" "$WORK/${kind}_$round.t"; done |
		sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
cpu_median() {
	for round in $(seq 1 "$ROUNDS"); do awk '{ printf "%.2f\n", $3 + $4 }' "$WORK/$1_$round.t"; done |
		sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# The engine's own peak working set, as it printed it: the largest of the
# rounds of install or install1 ($1).
engine_peak() {
	# Windows console output ends its lines with CR LF.
	for round in $(seq 1 "$ROUNDS"); do tr -d '\r' <"$WORK/$1_$round.out" | sed -n 's/^peak working set: \([0-9]*\) KiB$/\1/p'; done | sort -n | tail -1
}
max_rss() {
	for round in $(seq 1 "$ROUNDS"); do cut -d' ' -f2 "$WORK/$1_$round.t"; done | sort -n | tail -1
}
ratio() { echo "scale=3; $1 / $2" | bc -l | sed 's/^\./0./'; }
mib() { echo "scale=1; $1 / 1024" | bc -l | sed 's/^\./0./'; }
ok() { if [ "$(echo "$1" | bc -l)" = 1 ]; then echo "met"; else echo "NOT met"; fi; }

echo
echo "each command $ROUNDS times; elapsed per round:"
for kind in install install1 upgrade upgrade-all zbk tar; do
	printf "  %-11s" "$kind"
	for round in $(seq 1 "$ROUNDS"); do printf " %8s" "$(cut -d' ' -f1 "$WORK/${kind}_$round.t")"; done
	echo
done
echo
# Elapsed time is what a user waits. CPU time is steadier on a shared
# machine, but under Wine it leaves out the wineserver's share.
printf "%-11s %10s %10s %13s\n" "command" "median s" "median cpu" "peak MiB"
printf "%-11s %10s %10s %13s\n" install "$(median install 1)" "$(cpu_median install)" "$(mib "$(engine_peak install)")"
printf "%-11s %10s %10s %13s\n" install1 "$(median install1 1)" "$(cpu_median install1)" "$(mib "$(engine_peak install1)")"
printf "%-11s %10s %10s %13s\n" upgrade "$(median upgrade 1)" "$(cpu_median upgrade)" "$(mib "$(engine_peak upgrade)")"
printf "%-11s %10s %10s %13s\n" upgrade-all "$(median upgrade-all 1)" "$(cpu_median upgrade-all)" "$(mib "$(engine_peak upgrade-all)")"
printf "%-11s %10s %10s %13s\n" zbk "$(median zbk 1)" "$(cpu_median zbk)" "$(mib "$(max_rss zbk)")"
printf "%-11s %10s %10s %13s\n" tar "$(median tar 1)" "$(cpu_median tar)" "$(mib "$(max_rss tar)")"
# wine64's loader becomes the Windows process itself, so the resident set
# /usr/bin/time reports is the program's; the engine's own figure checks it.
echo "peak memory: install is the engine's own PeakWorkingSetSize (by /usr/bin/time:"
echo "  $(mib "$(max_rss install)") MiB); zbk and tar are the maximum resident set /usr/bin/time saw,"
echo "  for zbk that of the Wine process running zbk.exe."

install_zbk=$(ratio "$(median install 1)" "$(median zbk 1)")
upgrade_install=$(ratio "$(median upgrade 1)" "$(median install 1)")
install_one=$(ratio "$(median install 1)" "$(median install1 1)")
zbk_tar=$(ratio "$(median zbk 1)" "$(median tar 1)")
echo
echo "install : ${install_one}x the install without read-ahead elapsed (target <= 0.70 on 2 cores): $(ok "$install_one <= 0.70")"
echo "install : ${install_zbk}x zbk.exe extract elapsed, $(ratio "$(cpu_median install)" "$(cpu_median zbk)")x CPU (target <= 1.10): $(ok "$install_zbk <= 1.10")"
echo "upgrade : ${upgrade_install}x the fresh install elapsed (target <= 1.15): $(ok "$upgrade_install <= 1.15")"
echo "upgrade-all: $(ratio "$(median upgrade-all 1)" "$(median install 1)")x the fresh install elapsed (every file replaced: no target, the worst case)"
echo "install : $(ratio "$(median install 1)" "$(median tar 1)")x tar -xjf elapsed (native)"
echo "zbk     : ${zbk_tar}x tar -xjf elapsed (under Wine against native; bench/archive.sh compares them natively)"
echo "load before the run: $LOAD_BEFORE; after: $LOAD_AFTER (on $(nproc) cores; a load near or above that disturbs the times)"
