#!/usr/bin/env bash
# Lays out the kit a release engineer takes away to make the delivered loader from an
# installer without this build, on Linux or Windows: the loader's template, loader-pack and
# loader-stamp for Linux and for Windows, their manuals, make-bom.py, the third-party notices
# and SHA256SUMS. The same commit gives the same kit. Run scripts/setup.sh once before.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  cat <<'USAGE'
Usage: scripts/kit.sh [--output DIR] [--build-dir DIR]

  --output DIR      where the kit's folder, orvadesk-loader-kit-<version>, is laid out
                    (default: dist); a kit of the same version there is replaced
  --build-dir DIR   the build tree (default: build/release, the one release.sh uses)
USAGE
}

fail() { echo "kit.sh: $*" >&2; exit 1; }
. "$root/scripts/release-tree.sh"

output="$root/dist"
build_dir="$root/build/release"
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --output|--build-dir)
      [ $# -ge 2 ] || fail "$1 needs a value"
      if [ "$1" = --output ]; then output="$2"; else build_dir="$2"; fi
      shift 2 ;;
    *) usage >&2; fail "unknown argument $1" ;;
  esac
done

echo "== Building the kit in $build_dir"
configure_release_tree "$root" "$build_dir"
cmake --build "$build_dir" --target kit
kit="$build_dir/kit/orvadesk-loader-kit-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")"
mkdir -p "$output"
rm -rf "${output:?}/$(basename "$kit")"
cp -R "$kit" "$output/"
echo "Kit: $(cd "$output" && pwd)/$(basename "$kit")"
