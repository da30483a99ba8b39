#!/usr/bin/env bash
# Makes the benchmark's payloads reproducibly: Wine's own 64-bit PE files (Debian package
# wine64's library folder), in byte order of their names, concatenated and cut to size.
# For each size it also packs the file with loader-pack and gzip -9 and reports both sizes.
#
#   bench/make-payload.sh <output folder> <loader-pack> [size in MiB ...]   (default: 4 256)
#
# Writes <folder>/payload-<n>m.bin and prints one "pack <n>m ..." line per size.
set -euo pipefail
out="$1"
pack="$2"
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(4 256)

source_dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$source_dir" ] || { echo "no $source_dir (install wine64)" >&2; exit 1; }
mkdir -p "$out"
version=$(dpkg-query -W -f='${Version}' libwine:amd64 2>/dev/null || echo unknown)
echo "source $source_dir (libwine $version)"

# Every PE file once, by name in byte order, repeated if the sizes ask for more.
all="$out/all-pe.bin"
: > "$all"
mapfile -t files < <(cd "$source_dir" && find . -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)
largest=0
for n in "${sizes[@]}"; do [ "$n" -gt "$largest" ] && largest=$n; done
while [ "$(stat -c %s "$all")" -lt $((largest * 1048576)) ]; do
  (cd "$source_dir" && cat -- "${files[@]}") >> "$all"
done

for n in "${sizes[@]}"; do
  bin="$out/payload-${n}m.bin"
  head -c $((n * 1048576)) "$all" > "$bin"
  "$pack" "$bin" "$bin.lp.gz" >/dev/null
  gzip -9 -n -c "$bin" > "$bin.gzip9.gz"
  lp=$(stat -c %s "$bin.lp.gz")
  gz=$(stat -c %s "$bin.gzip9.gz")
  saving=$(awk -v a="$lp" -v b="$gz" 'BEGIN { printf "%.2f", 100 * (b - a) / b }')
  echo "pack ${n}m installer $((n * 1048576)) loader_pack $lp gzip9 $gz smaller_pct $saving"
  rm -f "$bin.lp.gz" "$bin.gzip9.gz"
done
rm -f "$all"
