#!/usr/bin/env bash
# Runs the Windows tests under Wine, inside the display that xvfb-run gives it. One
# persistent wineserver serves the whole run so that each test starts quickly.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k || true' EXIT
# Creates the prefix once, before tests race to do it.
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
ctest --preset windows -j "$(nproc)" "$@"
