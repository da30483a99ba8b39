#!/usr/bin/env bash
# Sets everything up, builds, and runs every test. Safe to run again.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
# The team's code as .clang-format says, before anything is built.
scripts/check-format.sh
scripts/build.sh
# File-level checks of the delivered 32-bit loader (and its Wine tests where this host can run them).
ctest --test-dir build/win32 --output-on-failure --no-tests=error -j2
# Every behaviour under Wine, from the 64-bit build of the same sources.
ctest --test-dir build/win64 --output-on-failure --no-tests=error -j2
# The platform-free logic under the sanitizers, and the fuzzers.
if [ ! -x scripts/test-native.sh ]; then
  echo "scripts/test-native.sh is missing or not executable: the native tests cannot run" >&2
  exit 1
fi
scripts/test-native.sh
