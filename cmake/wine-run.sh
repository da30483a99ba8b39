#!/usr/bin/env bash
# CTest's emulator: runs a Windows program under Wine in the build's own prefix.
# The build folder is found from the program's path (it lies below the build folder).
set -euo pipefail
prog="$1"; shift
dir="$(cd "$(dirname "$prog")" && pwd)"
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
ORVA_BUILD_DIR="${ORVA_BUILD_DIR:-$dir}"
. "$(dirname "$0")/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$ORVA_BUILD_DIR"
exec "$ORVA_WINE" "$prog" "$@"
