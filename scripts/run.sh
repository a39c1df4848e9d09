#!/usr/bin/env bash
# The main command: set-up, the three builds, then the sample product's
# installer under Wine (interactive with a display; without one it walks the
# wizard on a private Xvfb and saves a screenshot of every page).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
echo
echo "Built:"
for d in linux win64 win32; do
  echo "  $d: $(cd "$top/build/$d/bin" 2>/dev/null && ls | grep -Ev '_test(\.exe)?$|^e2e' | tr '\n' ' ')"
done
if [ -x "$top/examples/run.sh" ] && [ -f "$top/build/win64/bin/setup.exe" ]; then
  exec "$top/examples/run.sh"
fi
