#!/usr/bin/env bash
# Builds the delivered 32-bit loader (build/win32) and the 64-bit build of the same sources
# that runs the tests where 32-bit programs cannot run (build/win64). Extra arguments go to
# the configure step of both, e.g. -DLOADER_PAYLOAD=/path/to/installer.exe.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
for arch in i686 x86_64; do
  dir="build/$([ "$arch" = i686 ] && echo win32 || echo win64)"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" "$@" >/dev/null
  cmake --build "$dir"
done
