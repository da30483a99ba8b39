#!/usr/bin/env bash
# The figures of the README's "Size and speed", in one run:
# - extraction: the loader's whole step (ExtractPayload: inflate and write, hold, read back
#   against the trailer) against the bare zlib baseline at 4 and 256 MiB, the CRC-32 alone
#   each way, and the peak private memory of a process that extracts once (64-bit programs
#   under Wine);
# - packing: loader-pack --best on a cut of the benchmark payload at one job and at one job per
#   processor, interleaved, with the SHA-256 of each output;
# - the stub: the delivered i686 loader less its payload.
#
#   bench/run.sh [runs-4m] [runs-256m] [pack-MiB] [pack-pairs]
#       (defaults 41, 7, 32, 2: a 4 MiB extraction takes ~15 ms, where the file system's
#       noise under Wine is a few ms; 32 MiB is eight chunks, about 40 s at one job)
#
# Makes the payloads (bench/make-payload.sh), builds payload-bench-4m and -256m in
# build/bench and the loader in build/bench-i686.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs_4m="${1:-41}"
runs_256m="${2:-7}"
pack_mib="${3:-32}"
pack_pairs="${4:-2}"
build="$root/build/bench"
build_i686="$root/build/bench-i686"
payloads="$build/payloads"
mkdir -p "$build"

# The host tools first: loader-pack makes the packing report.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target host-tools >/dev/null
pack="$build/host-tools/loader-pack/loader-pack"
"$root/bench/make-payload.sh" "$payloads" "$pack" 4 256

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
  "$ORVA_WINE" "$exe" crc 5 | tr -d '\r' | sed "s/^/crc $size /"
  "$ORVA_WINE" "$exe" memory | tr -d '\r' | sed "s/^/memory $size /"
done

# Packing: the first pack-MiB of the 256 MiB payload, one job against all, in turns; the time
# is the one loader-pack reports in its closing line.
jobs=$(nproc)
input="$payloads/payload-${pack_mib}m-cut.bin"
head -c $((pack_mib * 1048576)) "$payloads/payload-256m.bin" > "$input"
for pair in $(seq "$pack_pairs"); do
  for j in 1 "$jobs"; do
    seconds=$("$pack" --jobs "$j" "$input" "$input.$j.gz" | sed -n 's/.* in \([0-9.]*\) s$/\1/p')
    echo "pack ${pack_mib}m jobs $j seconds $seconds sha256 $(sha256sum < "$input.$j.gz" | cut -d' ' -f1)"
  done
done
rm -f "$input" "$input".*.gz

# The stub, as the delivered loader is built (the demo installer as its payload).
cmake -S "$root" -B "$build_i686" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$build_i686" --target loader >/dev/null
python3 "$root/tests/pe/check_stub_size.py" --report "$build_i686/loader/loader.exe" |
  sed 's/^loader stub: /stub /'

echo "machine nproc $jobs"
echo "machine cpu $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "machine wine $("$ORVA_WINE" --version 2>/dev/null || echo unknown) (wine64 on $(uname -sr))"
echo "machine load $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min, at the end)"
