#!/bin/sh
# Builds the fuzz targets (clang, ASan, UBSan) and runs them.
#   fuzz/run.sh TARGET SECONDS   fuzzes one target for SECONDS
#   fuzz/run.sh all SECONDS      every target for SECONDS, one after the other
#   fuzz/run.sh --replay         runs every target once over its committed
#                                corpus (seconds): the regression test
# Each target's seeds and the inputs of fixed findings are committed in
# fuzz/corpus/TARGET. A run's new inputs grow under build/fuzz-corpus/TARGET,
# crash inputs land in build/fuzz-artifacts/TARGET; the build itself is in
# build/fuzz.
set -eu

targets="fuzz_archive_reader fuzz_archive_roundtrip fuzz_setup_script fuzz_bundle_reader fuzz_command_line fuzz_uninstall_script fuzz_run_journal"

usage() {
	echo "usage: $0 TARGET|all SECONDS | --replay" >&2
	echo "targets: $targets" >&2
	exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}

case ${1:-} in
	--replay) [ $# -eq 1 ] || usage; chosen=$targets ;;
	all) [ $# -eq 2 ] || usage; chosen=$targets ;;
	*)
		[ $# -eq 2 ] || usage
		chosen=
		for t in $targets; do [ "$t" = "$1" ] && chosen=$t; done
		[ -n "$chosen" ] || { echo "$0: unknown target '$1'" >&2; usage; }
		;;
esac

# One build folder serves every target, so it holds the union of their folders.
dirs="platform/core;setup/config;setup/archive;setup/bundle;setup/engine;uninstall"

cmake --preset linux -B "$build" -DTOLVANE_FUZZ=ON -DTOLVANE_SANITIZE=ON \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	-DTOLVANE_DIRS="$dirs" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 $(for t in $chosen; do printf -- '--target %s ' "$t"; done)

if [ "$1" = --replay ]; then
	failed=0
	for t in $chosen; do
		# With -runs=0 libFuzzer executes each input of the folder once.
		if "$build/bin/$t" -runs=0 "$root/fuzz/corpus/$t" >"$build/replay-$t.log" 2>&1; then
			echo "$t: $(ls "$root/fuzz/corpus/$t" | wc -l) inputs replayed"
		else
			cat "$build/replay-$t.log"
			echo "$t: FAILED"
			failed=1
		fi
	done
	exit $failed
fi

seconds=$2

fuzz() { # TARGET
	corpus=$root/build/fuzz-corpus/$1
	artifacts=$root/build/fuzz-artifacts/$1
	mkdir -p "$corpus" "$artifacts"

	# Dictionaries for formats with words of their own: the XML parsers
	# under the loaders are system libraries without coverage feedback,
	# and the bundle's trailer ends with a magic word.
	extra=
	[ -e "$root/fuzz/$1.dict" ] && extra=-dict=$root/fuzz/$1.dict

	# Short inputs keep each execution cheap; archives and bundles worth
	# finding are small. The sample's script is larger, so the loader's
	# inputs may be too.
	max_len=4096
	case $1 in fuzz_setup_script|fuzz_uninstall_script) max_len=16384 ;; esac

	# New inputs go to the first folder; the committed one is only read.
	"$build/bin/$1" "$corpus" "$root/fuzz/corpus/$1" -max_total_time="$seconds" -max_len=$max_len \
		-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
		-artifact_prefix="$artifacts/" $extra
}

for t in $chosen; do fuzz "$t"; done
