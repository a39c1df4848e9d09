#!/usr/bin/env bash
# The shipping build cannot run here; check what can be checked: every
# program and library is a 32-bit PE file, smooth.dll exports the platform's
# entry points, and every name a program imports from smooth.dll is there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/win32/bin"
fail=0
shopt -s nullglob
files=("$bin"/*.exe "$bin"/*.dll)
[ "${#files[@]}" -gt 0 ] || { echo "no win32 binaries in $bin" >&2; exit 1; }
for f in "${files[@]}"; do
  fmt=$(i686-w64-mingw32-objdump -f "$f" | sed -n 's/.*file format //p')
  if [ "$fmt" != "pei-i386" ]; then echo "FAIL $f: $fmt"; fail=1; fi
done
echo "win32: ${#files[@]} files, all pei-i386: $([ $fail -eq 0 ] && echo yes || echo no)"

exports=$(i686-w64-mingw32-objdump -p "$bin/smooth.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '{print $NF}')
for sym in _ZN6smooth4InitEv _ZN6smooth4FreeEv _ZNK6smooth6String12ComputeCRC32Ev \
           _ZN6smooth3XML8Document8LoadFileERKNS_6StringE _ZN6smooth2IO8InStream11InputNumberEi \
           _ZN6smooth6System6System13GetAPIVersionEv _ZN6smooth7Threads6Thread5StartEv; do
  if ! grep -qx "$sym" <<<"$exports"; then echo "FAIL smooth.dll does not export $sym"; fail=1; fi
done
echo "smooth.dll exports $(wc -l <<<"$exports") names"

# Names each program takes from smooth.dll (the import table lists them
# under the DLL's name, one per line, up to the next blank line).
for f in "$bin"/*.exe; do
  imports=$(i686-w64-mingw32-objdump -p "$f" | awk '/DLL Name: smooth.dll/{on=1; next} on && /^$/{on=0} on && /^\t[0-9a-f]+\t/ {print $NF}' | grep -v '^Name$' || true)
  missing=0
  while read -r sym; do
    [ -n "$sym" ] || continue
    grep -qx "$sym" <<<"$exports" || { echo "FAIL $(basename "$f") imports $sym, not exported"; missing=1; fail=1; }
  done <<<"$imports"
  [ -z "$imports" ] || echo "$(basename "$f"): $(wc -l <<<"$imports") names from smooth.dll, all exported: $([ $missing -eq 0 ] && echo yes || echo no)"
done
exit $fail
