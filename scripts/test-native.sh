#!/usr/bin/env bash
# The platform-free logic natively: its unit tests under AddressSanitizer and UBSan, then each
# fuzz target for a bounded time (ORVA_FUZZ_SECONDS, default 30) over its seed corpus, two
# targets at a time (ORVA_FUZZ_JOBS).
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
# Each target is one single-threaded process: ORVA_FUZZ_JOBS of them (default 2) run at once,
# each for the full time.
jobs="${ORVA_FUZZ_JOBS:-2}"

# Runs one target over its corpus; prints its summary, or its end and the place of the input
# when it finds a fault (which ends it with a non-zero status and leaves that input behind).
fuzz_one() {
  local name="$1" corpus="$2"
  # New inputs go to a scratch folder, so the corpus in the repository stays hand-made.
  local work="build/native-fuzz/corpus/$name"
  mkdir -p "$work"
  if "$fuzz_bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="build/native-fuzz/" "$work" "$corpus" > "$work.log" 2>&1; then
    printf '== fuzz_%s for %ss\n%s\n' "$name" "$seconds" \
      "$(grep -E '^(Done|stat::number_of_executed_units)' "$work.log" || true)"
  else
    printf '== fuzz_%s for %ss\n%s\nfuzz_%s found a fault; its input is in build/native-fuzz/\n' \
      "$name" "$seconds" "$(tail -n 40 "$work.log")" "$name"
    return 1
  fi
}

failed=0
running=0
for corpus in fuzz/corpus/*/; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$(basename "$corpus")" "$corpus" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
if [ "$failed" != 0 ]; then
  exit 1
fi
echo "native tests and fuzzing passed"
