#!/usr/bin/env bash
# Start-up path of the loader under Wine (64-bit build): the time from its first log line to
# the installer's CreateProcessA, less the extraction, from the log's tick counts.
#
#   bench/startup.sh [runs]    (default 9 runs of build/win64/loader/loader.exe)
#
# The launch step logs nothing before it starts the installer, so the start is taken from
# Wine's process trace (WINEDEBUG=+timestamp,+process), whose time stamps are the same tick
# count (milliseconds since system start) that the log carries.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-9}"
export ORVA_BUILD_DIR="$root/build/win64"
. "$root/cmake/wine-env.sh"
loader="$ORVA_BUILD_DIR/loader/loader.exe"
temp="$WINEPREFIX/drive_c/users/$(whoami)/Temp"

for i in $(seq "$runs"); do
  marker="$(mktemp)"
  trace="$(mktemp)"
  WINEDEBUG=+timestamp,+process "$ORVA_WINE" "$loader" >/dev/null 2>"$trace" || true
  launched="$(grep -m1 'CreateProcessInternalW app L".*Setup\.exe' "$trace" | cut -d: -f1 | tr -d .)" || true
  log="$(find "$temp" -name loader.log -newer "$marker" | head -1)"
  rm -f "$marker" "$trace"
  [ -n "$log" ] && [ -n "$launched" ] || { echo "run $i: no log or no launch" >&2; continue; }
  tr -d '\r' < "$log" | awk -v launched="$((10#$launched))" -v run="$i" '
    { tick = $2; sub(/\)$/, "", tick); text = $0; sub(/^[^-]*- /, "", text) }
    text == "Preparing loader..." && !first { first = tick }
    text == "Extracting data for..." { extract = tick }
    text == "Success!" { done = tick }
    END { printf "run %d before_extraction_ms %d extraction_ms %d after_extraction_ms %d startup_ms %d\n",
                 run, extract - first, done - extract, launched - done,
                 (extract - first) + (launched - done) }'
done
