#!/usr/bin/env bash
# Sets everything up, builds, and runs every test. Safe to run again. Ends with one line per
# tree that says what ran there; Wine tests that a tree skipped are named as skipped, with the
# reason, never as passed. Exits non-zero when anything failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
# The team's code as .clang-format says, before anything is built.
scripts/check-format.sh
scripts/build.sh

summary=()
failed=0
count_tests() {  # count_tests <tree> [ctest selection...]
  ctest --test-dir "$1" -N "${@:2}" | sed -n 's/^Total Tests: //p'
}

# run_tree <tree> <what it is>
run_tree() {
  local tree="$1" what="$2" total wine note result=passed
  total=$(count_tests "$tree")
  wine=$(count_tests "$tree" -L '^wine$')
  note=$(cat "$tree/orva-wine-tests")
  ctest --test-dir "$tree" --output-on-failure --no-tests=error -j2 || { result="FAILED (see above)"; failed=1; }
  if [ "$note" = ran ]; then
    summary+=("$tree ($what): $total tests $result, $wine of them under Wine")
  else
    summary+=("$tree ($what): $total tests $result, none under Wine; its Wine tests were SKIPPED: ${note#skipped: }")
  fi
}

# File-level checks of the delivered 32-bit loader (and its Wine tests where 32-bit Wine starts).
run_tree build/win32 "the delivered i686 loader"
# Every behaviour under Wine, from the 64-bit build of the same sources.
run_tree build/win64 "the x86_64 build of the same sources"
# The platform-free logic under the sanitizers, and the fuzzers.
if [ ! -x scripts/test-native.sh ]; then
  echo "scripts/test-native.sh is missing or not executable: the native tests cannot run" >&2
  exit 1
fi
if scripts/test-native.sh; then
  summary+=("native (platform-free logic): $(count_tests build/native-asan) unit tests passed under ASan and UBSan, $(ls -d fuzz/corpus/*/ | wc -l) fuzzers ran ${ORVA_FUZZ_SECONDS:-30} s each without a finding")
else
  summary+=("native (platform-free logic): FAILED (see above)")
  failed=1
fi

echo "== Summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
