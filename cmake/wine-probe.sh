#!/usr/bin/env bash
# Does Wine really start a program in the build's prefix? Makes the prefix where it is
# missing, then starts a program in it. Exit 0 when it ran; otherwise the reason on stderr.
# The configure step of a 32-bit tree asks this once (OrvaTesting.cmake).
set -euo pipefail
ORVA_BUILD_DIR="$(cd "$1" && pwd)"
. "$(dirname "$0")/wine-env.sh"
if [ "$ORVA_WINE_ARCH" = win32 ] && [ "$ORVA_WINE" = wine ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "the wine32 package is not installed" >&2
  exit 1
fi
if ! output=$("$(dirname "$0")/wine-prefix.sh" "$ORVA_BUILD_DIR" 2>&1 &&
              "$ORVA_WINE" cmd /c exit 2>&1 </dev/null); then
  echo "$(echo "$output" | grep . | tail -n 1)" >&2
  exit 1
fi
