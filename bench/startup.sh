#!/usr/bin/env bash
# Start-up path of the loader under Wine (64-bit build), from the tick counts of its own log:
# the time from its first log line to the installer's start, less the extraction.
#
#   bench/startup.sh [runs] [end line]    (default 9 runs of build/win64/loader/loader.exe)
#
# "end line" is the log text that marks the launch; the default is the last line logged
# before the installer is started ("Exiting loader..." where the launch step is missing).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-9}"
end_line="${2:-Exiting loader...}"
export ORVA_BUILD_DIR="$root/build/win64"
. "$root/cmake/wine-env.sh"
loader="$ORVA_BUILD_DIR/loader/loader.exe"
temp="$WINEPREFIX/drive_c/users/$(whoami)/Temp"
[ -d "$temp" ] || temp="$(dirname "$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -name Temp | head -1)")/Temp"

for i in $(seq "$runs"); do
  marker="$(mktemp)"
  "$ORVA_WINE" "$loader" >/dev/null 2>&1 || true
  log="$(find "$temp" -name loader.log -newer "$marker" | head -1)"
  rm -f "$marker"
  [ -n "$log" ] || { echo "run $i: no log" >&2; continue; }
  tr -d '\r' < "$log" | awk -v end="$end_line" -v run="$i" '
    { tick = $2; sub(/\)$/, "", tick); text = $0; sub(/^[^-]*- /, "", text) }
    text == "Preparing loader..." && !first { first = tick }
    text == "Extracting data for..." { extract = tick }
    text == "Success!" { done = tick }
    text == end && !last { last = tick }
    END { printf "run %d before_extraction_ms %d extraction_ms %d after_extraction_ms %d startup_ms %d\n",
                 run, extract - first, done - extract, last - done, (extract - first) + (last - done) }'
  # A run without the clean-up step leaves its own log folder behind.
  case "$(dirname "$log")" in */log*.tmp) rm -rf "$(dirname "$log")";; esac
done
