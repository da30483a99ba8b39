#!/usr/bin/env bash
# What loader-pack's progress costs: the benchmark payload packed at --best with standard
# error on a pseudo-terminal (progress shown) and on a file (nothing shown), the two
# interleaved, and the median of the times loader-pack reports in its closing line.
#
#   bench/pack-progress.sh <loader-pack> [size in MiB (default 8)] [runs of each (default 5)]
#
# Prints one "progress ..." line per run and a "median ..." line for each way.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
pack="$1"
size="${2:-8}"
runs="${3:-5}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$here/make-payload.sh" "$work" "$pack" "$size"
input="$work/payload-${size}m.bin"

seconds() { sed -n 's/.* in \([0-9.]*\) s\r\{0,1\}$/\1/p'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/terminal.times"
: > "$work/file.times"
for run in $(seq "$runs"); do
  script -qfc "$(printf '%q ' "$pack" "$input" "$work/out.gz")" /dev/null > "$work/terminal.txt"
  updates=$(tr '\r' '\n' < "$work/terminal.txt" | grep -c '^loader-pack: [0-9]* % of ' || true)
  terminal=$(seconds < "$work/terminal.txt")
  "$pack" "$input" "$work/out.gz" 2> "$work/stderr.txt" > "$work/stdout.txt"
  [ ! -s "$work/stderr.txt" ] || { echo "progress shown without a terminal" >&2; exit 1; }
  file=$(seconds < "$work/stdout.txt")
  echo "$terminal" >> "$work/terminal.times"
  echo "$file" >> "$work/file.times"
  echo "progress run $run terminal_s $terminal updates $updates file_s $file"
done
echo "median ${size}m terminal_s $(median < "$work/terminal.times") file_s $(median < "$work/file.times") packed_bytes $(stat -c %s "$work/out.gz")"
