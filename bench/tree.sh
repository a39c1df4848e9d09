# Sourced by the benchmarks: the input tree they share.
#
# bench_build_tree TREE MIB: builds TREE from the machine's own files, about
# MIB MiB, unless TREE was built complete for that size already. Text and
# compressed documentation, icons, Python sources and shared libraries: the
# mix a product folder holds. Links are dropped, since zbk stores files and
# folders only. The files lie under TREE/usr.
bench_build_tree() {
	local tree=$1 want_mib=$2
	if [ -f "$tree/.complete" ] && [ "$(cat "$tree/.complete")" = "$want_mib" ]; then
		return 0
	fi
	echo "== building the input tree ($want_mib MiB) in $tree"
	rm -rf "$tree"
	mkdir -p "$tree"
	local budget=$((want_mib * 1024 * 1024)) src have lib
	for src in /usr/share/doc /usr/share/icons /usr/lib/python3; do
		[ -d "$src" ] && tar -C / -cf - "${src#/}" 2>/dev/null | tar -C "$tree" -xf -
	done
	# Shared libraries (binary, poorly compressible) up to the budget.
	have=$(du -sb "$tree" | cut -f1)
	mkdir -p "$tree/usr/lib/bin"
	while read -r lib; do
		[ "$have" -lt "$budget" ] || break
		cp "$lib" "$tree/usr/lib/bin/"
		have=$((have + $(stat -c %s "$lib")))
	done < <(find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name 'lib*.so*' -size -8M | sort)
	find "$tree" -type l -delete
	find "$tree" ! -perm -u+r -exec chmod u+r {} + 2>/dev/null || true
	# A smoke test's small tree keeps an even sample of the same mix: each
	# file stays while the bytes kept are behind the budget's share of the
	# bytes seen.
	if [ "${BENCH_SMOKE:-0}" = 1 ]; then
		find "$tree/usr" -type f -printf '%s %p\n' | sort -k2 | awk -v budget="$budget" '
			{ size[NR] = $1; path[NR] = substr($0, index($0, " ") + 1); total += $1 }
			END { for (i = 1; i <= NR; i++) { seen += size[i]; if (kept + size[i] <= budget * seen / total) kept += size[i]; else print path[i] } }' |
			tr '\n' '\0' | xargs -0 -r rm -f
	fi
	echo "$want_mib" >"$tree/.complete"
}

# bench_tree_summary TREE: prints the tree's size, fails below 200 MiB
# (unless BENCH_SMOKE=1: a small tree that only checks that the benchmark
# runs, whose numbers mean nothing).
bench_tree_summary() {
	local tree=$1 files folders bytes
	files=$(find "$tree/usr" -type f | wc -l)
	folders=$(find "$tree/usr" -type d | wc -l)
	bytes=$(find "$tree/usr" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
	printf "tree: %d files, %d folders, %.1f MiB\n" "$files" "$folders" "$(echo "$bytes / 1048576" | bc -l)"
	[ "${BENCH_SMOKE:-0}" = 1 ] || [ "$bytes" -ge $((200 * 1024 * 1024)) ] || { echo "bench: tree smaller than 200 MiB (BENCH_SMOKE=1 allows it for a smoke test)" >&2; return 1; }
}
