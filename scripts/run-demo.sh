#!/usr/bin/env bash
# Sets everything up, builds the loader with its default payload (the demo installer) and
# runs it under Wine, then shows the loader's log and what the installer was started with.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh

# The 32-bit loader is what ships; where 32-bit Wine does not start a program here (the
# 32-bit tree's configure step found out, see OrvaTesting.cmake), the 64-bit build of the same
# sources is run instead.
note=$(cat build/win32/orva-wine-tests)
if [ "$note" = ran ]; then
  build=build/win32
  echo "== Running the delivered i686 loader ($build/loader/loader.exe)"
else
  build=build/win64
  echo "== Running the x86_64 build of the same sources ($build/loader/loader.exe): the delivered i686 loader cannot run here, its Wine tests were ${note}"
fi
export ORVA_BUILD_DIR="$root/$build"
. cmake/wine-env.sh
cmake/wine-prefix.sh "$ORVA_BUILD_DIR"
temp="$WINEPREFIX/drive_c/users/$(whoami)/Temp"
[ -d "$temp" ] || temp="$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -n 1)"
# A fresh start each time: under Wine every folder reads back as the user's own, so a privileged
# run would rightly refuse a main temp folder that an earlier run left behind.
# The main temp folder is named after the build number, the configured tree's.
main_temp="$temp/Qx_$(sed -n 's/^CMAKE_PROJECT_VERSION_PATCH:STATIC=//p' "$build/CMakeCache.txt")"
rm -rf "$temp/demo-installer.txt" "$main_temp" "$temp/loader.log"

echo "== under Wine, with no arguments (the parameter block applies)"
set +e
"$ORVA_WINE" "$build/loader/loader.exe"
code=$?
set -e
"${WINESERVER:-wineserver}" -w
echo "== Exit code: $code"
log="$main_temp/loader.log"
[ -f "$log" ] || log="$temp/loader.log"  # where a run without a folder of its own keeps it
echo "== Loader log ($log):"
cat "$log" 2>/dev/null || echo "(none)"
echo "== What the installer recorded ($temp/demo-installer.txt):"
cat "$temp/demo-installer.txt" 2>/dev/null || echo "(the installer did not run)"
