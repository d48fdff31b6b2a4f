#!/usr/bin/env bash
# Fails when a C++ file of the tree is not formatted by the repository's .clang-format.
#   scripts/check-format.sh            every tracked .cpp and .h file
#   scripts/check-format.sh FILE...    only these
#   scripts/check-format.sh --fix ...  formats them in place instead of checking
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$CLANG_FORMAT" >/dev/null 2>&1; then
  echo "check-format: $CLANG_FORMAT not found (scripts/install-deps.sh installs clang-format)" >&2
  exit 2
fi

fix=0
if [ "${1:-}" = "--fix" ]; then
  fix=1
  shift
fi

files=()
if [ $# -gt 0 ]; then
  files=("$@")
else
  while IFS= read -r -d '' file; do
    files+=("$file")
  done < <(git ls-files -z -- '*.cpp' '*.h')
fi
if [ ${#files[@]} -eq 0 ]; then
  exit 0
fi

if [ $fix -eq 1 ]; then
  "$CLANG_FORMAT" -i --style=file "${files[@]}"
  exit 0
fi

unformatted=()
for file in "${files[@]}"; do
  if ! "$CLANG_FORMAT" --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done

if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check-format: ${#unformatted[@]} file(s) not formatted with .clang-format:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "run: scripts/check-format.sh --fix FILE... (or with no files for the whole tree)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
