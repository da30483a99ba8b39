#!/usr/bin/env bash
# The platform-free logic natively: its unit tests under AddressSanitizer and UBSan, then each
# fuzz target for a bounded time (ORVA_FUZZ_SECONDS, default 30) over its seed corpus.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${ORVA_FUZZ_SECONDS:-30}"

cmake --preset native-asan
cmake --build --preset native-asan
ctest --preset native-asan

cmake --preset native-fuzz
cmake --build --preset native-fuzz
fuzz_bin=build/native-fuzz/native/fuzz
for corpus in fuzz/corpus/*/; do
  name="$(basename "$corpus")"
  # New inputs go to a scratch folder, so the corpus in the repository stays hand-made.
  work="build/native-fuzz/corpus/$name"
  mkdir -p "$work"
  echo "== fuzz_$name for ${seconds}s"
  # A finding ends the run with a non-zero status and leaves its input as an artifact.
  if ! "$fuzz_bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="build/native-fuzz/" "$work" "$corpus" > "$work.log" 2>&1; then
    tail -n 40 "$work.log"
    echo "fuzz_$name found a fault; its input is in build/native-fuzz/"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$work.log" || true
done
echo "native tests and fuzzing passed"
