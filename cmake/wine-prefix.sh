#!/usr/bin/env bash
# Creates the build's Wine prefix once; later calls return at once.
set -euo pipefail
ORVA_BUILD_DIR="$(cd "$1" && pwd)"
. "$(dirname "$0")/wine-env.sh"
server="${WINESERVER:-wineserver}"
if [ ! -f "$WINEPREFIX/.orva-ready" ]; then
  rm -rf "$WINEPREFIX"
  "$ORVA_WINE" wineboot -i >/dev/null 2>&1 || true
  "$server" -w
  # Warm-up run: the first process of a cold prefix starts background services.
  "$ORVA_WINE" cmd /c exit >/dev/null 2>&1 || true
  "$server" -w
  touch "$WINEPREFIX/.orva-ready"
fi
