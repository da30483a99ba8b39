#!/usr/bin/env bash
# The delivered 32-bit loader on 64-bit Windows: run under 32-bit Wine in a 64-bit prefix, it
# must record its custom parameters in the 32-bit view of the registry (Software\WOW6432Node),
# where its 32-bit installer reads them, and leave the 64-bit view alone; an empty former
# vendor key is removed from the 32-bit view only.
#   delivered-loader-view.sh <loader.exe> <build folder>
# The 64-bit prefix is the build folder's wineprefix-wow64, made on first use.
set -euo pipefail
loader="$1"
build="$(cd "$2" && pwd)"

export WINEPREFIX="$build/wineprefix-wow64"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER=/usr/lib/wine/wineserver64
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
log="$build/Testing/delivered-loader-view.log"
mkdir -p "$(dirname "$log")"
: > "$log"

end_session() { "$WINESERVER" -k >/dev/null 2>&1 || true; "$WINESERVER" -w || true; }
trap end_session EXIT

if [ ! -f "$WINEPREFIX/.orva-ready" ]; then
  rm -rf "$WINEPREFIX"
  WINELOADER=$wine64 "$wine64" wineboot -i >>"$log" 2>&1 || true
  "$WINESERVER" -w
  touch "$WINEPREFIX/.orva-ready"
fi
# A session of this prefix alone, whose services write to the log file, not to the test's output.
end_session
"$WINESERVER" -p </dev/null >>"$log" 2>&1

failures=0
check() {  # check <what> <command...>: the command must succeed
  local what="$1"; shift
  if "$@" >>"$log" 2>&1; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
absent() { ! "$@"; }
reg64() { WINELOADER=$wine64 "$wine64" reg "$@"; }
value_is() {  # value_is <key> <name> <data>: REG_SZ data as reg query prints it
  reg64 query "$1" /v "$2" | tr -d '\r' | grep -Eq "^ +$2 +REG_SZ +$3\$"
}

# Start from nothing of the product's in either view, with an empty former vendor key in both.
for key in 'HKLM\Software\Pemrod' 'HKLM\Software\Brightholm' \
           'HKLM\Software\Wow6432Node\Pemrod' 'HKLM\Software\Wow6432Node\Brightholm'; do
  reg64 delete "$key" /f >>"$log" 2>&1 || true
done
work="$WINEPREFIX/drive_c/orva-view-test"
rm -rf "$work"
mkdir -p "$work"
# A .reg file makes keys without values ("reg add" would give each an empty default value).
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Brightholm]\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Brightholm]\r\n' \
  > "$work/empty-vendor.reg"
WINELOADER=$wine64 "$wine64" regedit /s 'C:\orva-view-test\empty-vendor.reg' >>"$log" 2>&1

temp="$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -n 1)"
rm -f "$temp/demo-installer.txt"
cp "$loader" "$work/download.exe"
(cd "$work" && WINELOADER=$wine32 "$wine32" download.exe "CustomParams a=1&b=hello+world") >>"$log" 2>&1

p32='HKLM\Software\Wow6432Node\Pemrod\Orvadesk'
check "the parameters are in the 32-bit view" value_is "$p32\\CustomParams" b 'hello world'
check "the list is in the 32-bit view" value_is "$p32" InstallerCPList 'a=1&b=hello\+world'
check "the 64-bit view has no product key" absent reg64 query 'HKLM\Software\Pemrod'
check "the empty former vendor key is gone from the 32-bit view" \
  absent reg64 query 'HKLM\Software\Wow6432Node\Brightholm'
check "the 64-bit view's key of that name stays" reg64 query 'HKLM\Software\Brightholm'
check "the 32-bit installer read the parameters" \
  grep -q 'Pemrod\\Orvadesk\\CustomParams|b=hello world' "$temp/demo-installer.txt"

for key in 'HKLM\Software\Brightholm' 'HKLM\Software\Wow6432Node\Pemrod'; do
  reg64 delete "$key" /f >>"$log" 2>&1 || true
done
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; what Wine printed is in $log"
  exit 1
fi
