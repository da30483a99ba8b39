#!/usr/bin/env bash
# scripts/setup.sh's decisions against a mirror that is in the middle of its sync, with
# stand-ins for apt-get, dpkg and dpkg-query on PATH that answer as each case says.
set -uo pipefail
setup="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat > "$work/bin/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
echo "apt-get $*" >> "$STATE/calls"
if [ "$1" = update ]; then
  n=$(grep -c '^apt-get update' "$STATE/calls")
  rc=$(echo "$UPDATE_RESULTS" | cut -d' ' -f"$n"); rc=${rc:-0}
  [ "$rc" = 0 ] || echo "E: Failed to fetch http://mirror/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
  exit "$rc"
fi
for p in "$@"; do
  reason=$(echo "$REFUSE" | sed -n "s/^$p=//p")
  if [ -n "$reason" ]; then printf 'Reading package lists...\n%s\n' "$reason"; exit 100; fi
done
printf '%s\n' "$@" | grep -v -e '^-' -e '^install$' >> "$STATE/installed"
STAND_IN
cat > "$work/bin/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
p="${!#}"
if echo "$MISSING" | grep -qw -- "$p" && ! grep -qx -- "$p" "$STATE/installed"; then exit 1; fi
echo "install ok installed"
STAND_IN
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' > "$work/bin/dpkg"
# npm answers each call as NPM_RESULTS says (0 by default), and installs by writing the
# packages' package.json.
cat > "$work/bin/npm" <<'STAND_IN'
#!/usr/bin/env bash
echo "npm $*" >> "$STATE/calls"
rc=$(echo "${NPM_RESULTS:-}" | cut -d' ' -f"$(grep -c '^npm ' "$STATE/calls")"); rc=${rc:-0}
[ "$rc" = 0 ] || { echo "npm error code ETIMEDOUT" >&2; exit "$rc"; }
for p in "$@"; do
  [[ "$p" == ?*@* ]] || continue
  mkdir -p "$ORVA_NODE_TOOLS/node_modules/${p%@*}"
  echo "{\"version\": \"${p##*@}\"}" > "$ORVA_NODE_TOOLS/node_modules/${p%@*}/package.json"
done
STAND_IN
chmod +x "$work/bin/"*

failures=0
# check <case> <missing> <update results> <refused pkg=reason> <expected exit> <expected lines
# (one extended regular expression a line)> <expected refreshes> <installed afterwards>
check() {
  local name="$1" calls status output problems=""
  export STATE="$work/$name" MISSING="$2" UPDATE_RESULTS="$3" REFUSE="$4" ORVA_NODE_TOOLS="$work/$name/node"
  mkdir -p "$STATE"; : > "$STATE/calls"; : > "$STATE/installed"
  output=$(PATH="$work/bin:$PATH" ORVA_APT_PAUSE=0 bash "$setup" 2>&1) && status=0 || status=$?
  calls=$(grep -c '^apt-get update' "$STATE/calls")
  [ $((status != 0)) = $(($5 != 0)) ] || problems+=" exit $status;"
  local -a want got
  mapfile -t want <<<"$6"; mapfile -t got <<<"$output"
  [ ${#want[@]} = ${#got[@]} ] || problems+=" ${#got[@]} lines;"
  for i in "${!want[@]}"; do [[ "${got[$i]:-}" =~ ${want[$i]} ]] || problems+=" line $((i + 1));"; done
  [ "$calls" = "$7" ] || problems+=" $calls refreshes;"
  for p in $8; do grep -qx -- "$p" "$STATE/installed" || problems+=" $p not installed;"; done
  [ -z "$problems" ] && { echo "ok   $name"; return; }
  failures=$((failures + 1))
  printf 'FAIL %s:%s\n--- output:\n%s\n' "$name" "$problems" "$output"
}

partial='^setup: the package index refreshed only in part \(E: Failed to fetch .*Mirror sync in progress\?\); going on'
unmet=' wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed'
check nothing_missing "" "" "" 0 "" 0 ""
check refresh_recovers "cmake" "100 0" "" 0 "" 2 "cmake"
check refresh_in_part_then_installs "cmake wine32" "100 100 100" "" 0 "$partial" 3 "cmake wine32"
check needed_package_refused "cmake g++-mingw-w64-i686 wine32" "100 100 100" \
  "g++-mingw-w64-i686=E: Unable to locate package g++-mingw-w64-i686" 1 \
  "$partial"$'\n''^setup: cannot install g\+\+-mingw-w64-i686: E: Unable to locate package g\+\+-mingw-w64-i686$' 3 "cmake"
check wine32_refused "wine32" "100" "wine32=$unmet" 0 "$partial"$'\n'"^setup: 32-bit Wine \(wine32\) cannot be installed \(wine32:i386 : Depends: libwine:i386 .*\): the delivered i686 loader's Wine tests will be skipped, its file checks still run; to add it later" 1 ""
NPM_RESULTS="1 0" check npm_registry_recovers "" "" "" 0 "" 0 ""
NPM_RESULTS="1 1 1" check npm_registry_away "" "" "" 1 \
  '^setup: cannot install the npm packages @cyclonedx/cyclonedx-library@[0-9.]+ .*: npm error code ETIMEDOUT$' 0 ""
[ "$failures" = 0 ]
