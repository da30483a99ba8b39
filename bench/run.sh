#!/usr/bin/env bash
# Runs the extraction benchmark under Wine (64-bit) and prints the figures for the README.
#
#   bench/run.sh [runs-4m] [runs-256m]    (default 41 and 7 interleaved runs: a 4 MiB
#                                         extraction takes ~25 ms, where the file system's
#                                         noise under Wine is a few ms)
#
# Makes the payloads (bench/make-payload.sh), builds payload-bench-4m and -256m in
# build/bench, times the loader's ExtractPayload against the bare zlib baseline on each, and
# measures the peak private memory of a process that extracts once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs_4m="${1:-41}"
runs_256m="${2:-7}"
build="$root/build/bench"
payloads="$build/payloads"
mkdir -p "$build"

# The host tools first: loader-pack makes the packing report.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target host-tools >/dev/null
"$root/bench/make-payload.sh" "$payloads" "$build/host-tools/loader-pack/loader-pack" 4 256

cmake -S "$root" -B "$build" \
  -DORVA_BENCH_PAYLOADS="4m=$payloads/payload-4m.bin;256m=$payloads/payload-256m.bin" >/dev/null
cmake --build "$build" --target payload-bench-4m payload-bench-256m wineprefix >/dev/null

export ORVA_BUILD_DIR="$build"
. "$root/cmake/wine-env.sh"
for size in 4m 256m; do
  exe="$build/bench/payload-bench-$size.exe"
  runs=$runs_4m
  [ "$size" = 256m ] && runs=$runs_256m
  "$ORVA_WINE" "$exe" time "$runs" | tr -d '\r' | sed "s/^/time $size /"
  "$ORVA_WINE" "$exe" memory | tr -d '\r' | sed "s/^/memory $size /"
done
echo "machine nproc $(nproc)"
echo "machine cpu $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "machine wine $("$ORVA_WINE" --version 2>/dev/null || echo unknown) (wine64 on $(uname -sr))"
