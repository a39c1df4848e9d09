#!/usr/bin/env bash
# Configures and builds the linux, win64 and win32 builds (set-up first).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"
for preset in linux win64 win32; do
  echo "== build $preset"
  cmake --preset "$preset" -DTOLVANE_DIRS= >/dev/null
  cmake --build --preset "$preset" -- -k 0
done
