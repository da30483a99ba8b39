#!/usr/bin/env bash
# Creates the build's Wine prefix once; later calls return at once. Fails, leaving no prefix
# marked ready, when this Wine cannot start a program in it (32-bit Wine missing, say).
set -euo pipefail
ORVA_BUILD_DIR="$(cd "$1" && pwd)"
. "$(dirname "$0")/wine-env.sh"
server="${WINESERVER:-wineserver}"
if [ ! -f "$WINEPREFIX/.orva-ready" ]; then
  rm -rf "$WINEPREFIX"
  "$ORVA_WINE" wineboot -i >/dev/null 2>&1 || true
  "$server" -w
  # Warm-up run: the first process of a cold prefix starts background services.
  output=$("$ORVA_WINE" cmd /c exit 2>&1 </dev/null) && status=0 || status=$?
  if [ "$status" != 0 ]; then
    last=$(echo "$output" | grep . | tail -n 1 || true)
    echo "$ORVA_WINE cannot start a program in $WINEPREFIX: ${last:-it exited with status $status}" >&2
    "$server" -k >/dev/null 2>&1 || true
    exit 1
  fi
  "$server" -w
  touch "$WINEPREFIX/.orva-ready"
fi
