#!/usr/bin/env bash
# Creates the build's Wine prefix once; later calls return at once.
set -euo pipefail
ORVA_BUILD_DIR="$(cd "$1" && pwd)"
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/.orva-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Warm-up run: the first process of a cold prefix starts background services.
  wine cmd /c exit >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.orva-ready"
fi
