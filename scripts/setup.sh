#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Safe to run again, as root or
# through sudo.
#
# A package mirror in the middle of its sync serves some indexes and not others, often for
# hours. So a refresh that fails in part does not stop the set-up: what decides is whether the
# packages can be installed. 32-bit Wine is wanted, not required: without it the delivered
# i686 loader's Wine tests are skipped (its file checks still run), and the x86_64 build of the
# same sources carries the behaviour tests.
#
# The bill of materials is checked against the published CycloneDX schema with its makers'
# validator: npm packages, pinned, installed into a folder of their own (ORVA_NODE_TOOLS,
# default /opt/orvadesk/node), retried against a registry that answers only now and then.
#
# ORVA_APT_TRIES (default 3) and ORVA_APT_PAUSE (seconds, default 5) set the refresh's retries,
# and the npm installation's.
set -euo pipefail
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
tries="${ORVA_APT_TRIES:-3}"
pause="${ORVA_APT_PAUSE:-5}"

required=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format-14
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  googletest
  zlib1g-dev
  icoutils python3
  osslsigncode openssl
  wine wine64
)
optional=(wine32)
command -v npm >/dev/null || required+=(nodejs npm)
node_prefix="${ORVA_NODE_TOOLS:-/opt/orvadesk/node}"
node_packages=(@cyclonedx/cyclonedx-library@10.3.0 ajv@8.17.1 ajv-formats@3.0.1
  ajv-formats-draft2019@1.6.1)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing_of() {
  local p
  for p in "$@"; do is_installed "$p" || echo "$p"; done
}

# apt's reason in one line: the first unmet dependency or error it printed.
apt_reason() {
  local line
  line=$(grep -m1 -E 'Depends:|^E: ' "$1" || true)
  [ -n "$line" ] || line=$(tail -n 1 "$1")
  echo "$line" | sed -E 's/^[[:space:]]+//; s/[[:space:]]+/ /g'
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$@"
}

node_packages_installed() {
  local p
  for p in "${node_packages[@]}"; do
    [ "$(node -p "require('$node_prefix/node_modules/${p%@*}/package.json').version" 2>/dev/null)" = "${p##*@}" ] || return 1
  done
}

# Peer packages are named, not resolved (the library's XML side is not wanted); no package
# runs an install script.
install_node_packages() {
  node_packages_installed && return 0
  local try log
  log=$(mktemp)
  for ((try = 1; ; try++)); do
    if $SUDO npm install --prefix "$node_prefix" --no-audit --no-fund --legacy-peer-deps \
        --ignore-scripts --fetch-retries=2 "${node_packages[@]}" >"$log" 2>&1 && node_packages_installed; then
      rm -f "$log"
      return 0
    fi
    if [ "$try" -ge "$tries" ]; then
      echo "setup: cannot install the npm packages ${node_packages[*]}: $(grep -m1 -E '^npm (ERR!|error) ' "$log" || tail -n 1 "$log")" >&2
      rm -f "$log"
      return 1
    fi
    sleep "$pause"
  done
}

mapfile -t missing < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  install_node_packages
  exit
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT

if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# The refresh: retried for a mirror that is only briefly away; a refresh for the optional
# package alone is tried once.
[ ${#missing[@]} -gt 0 ] || tries=1
for ((try = 1; ; try++)); do
  if $SUDO apt-get update -qq >"$log" 2>&1; then break; fi
  if [ "$try" -ge "$tries" ]; then
    echo "setup: the package index refreshed only in part ($(apt_reason "$log")); going on with what came down" >&2
    break
  fi
  sleep "$pause"
done

if [ ${#missing[@]} -gt 0 ] && ! apt_install "${missing[@]}" >"$log" 2>&1; then
  # One at a time, to name the package that cannot be installed and why.
  for p in "${missing[@]}"; do
    if ! apt_install "$p" >"$log" 2>&1; then
      echo "setup: cannot install $p: $(apt_reason "$log")" >&2
      exit 1
    fi
  done
fi

if [ ${#missing_optional[@]} -gt 0 ] && ! apt_install "${missing_optional[@]}" >"$log" 2>&1; then
  echo "setup: 32-bit Wine (wine32) cannot be installed ($(apt_reason "$log")): the delivered i686 loader's Wine tests will be skipped, its file checks still run; to add it later, run scripts/setup.sh again once the mirror serves it, then scripts/build.sh" >&2
fi
install_node_packages
