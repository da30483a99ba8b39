#!/usr/bin/env bash
# Checks that the team's own C and C++ files are formatted as .clang-format says, with
# clang-format 14 (Debian 12's, installed by scripts/setup.sh), so that every machine formats
# alike; third_party/ keeps its upstream form. Lists the files that differ and fails.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format them in place
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
formatter=clang-format-14
if ! command -v "$formatter" >/dev/null; then
  echo "$formatter is missing: run scripts/setup.sh" >&2
  exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' ':!:third_party/**')
else
  mapfile -t files < <(find . -path ./third_party -prune -o -path ./build -prune -o \
    -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "no C or C++ files found to check" >&2
  exit 1
fi
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  if ! "$formatter" --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted as .clang-format says (scripts/check-format.sh --fix formats them):\n' >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format check: ${#files[@]} files formatted as .clang-format says"
