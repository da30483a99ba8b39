#!/usr/bin/env bash
# Behind a 32-bit Wine that cannot start a program, a fresh i686 tree registers no Wine tests,
# keeps its file checks, and says why.
set -euo pipefail
src="$1" tree="$2"
rm -rf "$tree"
cmake -S "$src" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DORVA_WINE32=/bin/false >/dev/null
count() { ctest --test-dir "$tree" -N "$@" | sed -n 's/^Total Tests: //p'; }
cat "$tree/orva-wine-tests"
grep -q '^skipped: ' "$tree/orva-wine-tests"
[ "$(count -L '^wine$')" = 0 ] && [ "$(count -R '^wine_session')" = 0 ] && [ "$(count -R '^pe_loader$')" = 1 ]
rm -rf "$tree"
