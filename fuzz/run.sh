#!/bin/sh
# Builds one fuzz target (clang, ASan, UBSan) and runs it for SECONDS.
#   fuzz/run.sh fuzz_archive_reader|fuzz_archive_roundtrip|fuzz_setup_script SECONDS
# The corpus grows under build/fuzz-corpus/TARGET, crash inputs land in
# build/fuzz-artifacts/TARGET; the build itself is in build/fuzz.
set -eu

if [ $# -ne 2 ]; then
	echo "usage: $0 TARGET SECONDS" >&2
	exit 2
fi

target=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}

case $target in
	fuzz_archive_reader|fuzz_archive_roundtrip|fuzz_setup_script) ;;
	*) echo "$0: unknown target '$target'" >&2; exit 2 ;;
esac

# One build folder serves every target, so it holds the union of their folders.
dirs="platform/core;setup/config;setup/archive"

cmake --preset linux -B "$build" -DTOLVANE_FUZZ=ON -DTOLVANE_SANITIZE=ON \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	-DTOLVANE_DIRS="$dirs" >/dev/null
cmake --build "$build" --target "$target" -j2

corpus=$root/build/fuzz-corpus/$target
artifacts=$root/build/fuzz-artifacts/$target
mkdir -p "$corpus" "$artifacts"

# Little-endian numbers of 2 and 4 bytes, as the archive stores them.
le16() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# A chunk holding a file "hello.txt" with the given text and a folder "d/".
seed_chunk() {
	payload=$(mktemp)
	printf %s "$1" | bzip2 -9 >"$payload"
	le32 2; printf FILES
	le16 9; printf hello.txt; le32 ${#1}
	le16 2; printf 'd/'; le32 0
	printf CDATA; le32 $(wc -c <"$payload"); le32 ${#1}
	cat "$payload"
	rm -f "$payload"
}

# The reader starts from a real two-chunk archive, so that it reaches the
# decompressor at once instead of first having to guess a bzip2 stream.
if [ "$target" = fuzz_archive_reader ] && [ -z "$(ls -A "$corpus")" ]; then
	{ printf ZBK; seed_chunk hello; seed_chunk 'second chunk'; } >"$corpus/seed-two-chunks.zbk"
fi

# The XML parser under the loader is a system library without coverage
# feedback, so from an empty corpus the fuzzer would never get past "not
# XML". It starts from the sample's script, in UTF-8 and UTF-16, and knows
# the script's element and attribute names.
extra=
if [ "$target" = fuzz_setup_script ]; then
	if [ ! -e "$corpus/seed-example.xml" ]; then
		cp "$root/examples/setup.xml" "$corpus/seed-example.xml"
		{ printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$root/examples/setup.xml"; } >"$corpus/seed-example-utf16.xml"
	fi
	extra=-dict=$root/fuzz/setup_script.dict
fi

# Short inputs keep each execution cheap; archives worth finding are small.
# The sample's script is larger, so the loader's inputs may be too.
max_len=4096
[ "$target" = fuzz_setup_script ] && max_len=16384

exec "$build/bin/$target" "$corpus" -max_total_time="$seconds" -max_len=$max_len \
	-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	-artifact_prefix="$artifacts/" $extra
