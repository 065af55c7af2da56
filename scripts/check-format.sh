#!/usr/bin/env bash
# Checks that every tracked C++ source (*.cpp, *.h, outside build/) is formatted as
# .clang-format says, and lists the files that are not.
#
#   bash scripts/check-format.sh         exits 1 if any file would change
#   bash scripts/check-format.sh --fix   formats those files in place
#
# The style is pinned to clang-format 14 (Debian 12's): other versions break some lines
# differently. Set CLANG_FORMAT to use another binary.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
case "${1:-}" in
  "") ;;
  --fix) fix=1 ;;
  *)
    echo "usage: $0 [--fix]" >&2
    exit 2
    ;;
esac

cf=${CLANG_FORMAT:-}
if [ -z "$cf" ]; then
  if command -v clang-format-14 >/dev/null 2>&1; then
    cf=clang-format-14
  elif command -v clang-format >/dev/null 2>&1; then
    cf=clang-format
  else
    echo "check-format: clang-format is not installed (bash scripts/deps.sh --test)" >&2
    exit 2
  fi
fi
version=$("$cf" --version | sed -n 's/.*version \([0-9][0-9]*\)\..*/\1/p')
if [ "$version" != 14 ]; then
  echo "check-format: $cf is version ${version:-unknown}, not 14: its verdict may differ" >&2
fi

files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  while IFS= read -r -d '' f; do files+=("$f"); done \
    < <(git ls-files -z -- '*.cpp' '*.h' ':(exclude)build/')
else
  while IFS= read -r -d '' f; do files+=("${f#./}"); done \
    < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
[ ${#files[@]} -eq 0 ] && exit 0

# One run over every file; each difference is reported as "file:line:col: error: ...".
set +e
report=$("$cf" --style=file --dry-run -Werror "${files[@]}" 2>&1)
rc=$?
set -e
[ $rc -eq 0 ] && exit 0
bad=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ -z "$bad" ]; then
  # clang-format failed for another reason (a missing file, a broken .clang-format).
  printf '%s\n' "$report" >&2
  exit 2
fi
count=$(printf '%s\n' "$bad" | wc -l)

if [ $fix -eq 1 ]; then
  printf '%s\n' "$bad" | tr '\n' '\0' | xargs -0 "$cf" --style=file -i
  printf 'check-format: formatted %d file(s):\n' "$count"
  printf '%s\n' "$bad" | sed 's/^/  /'
  exit 0
fi

printf 'check-format: %d file(s) differ from .clang-format:\n' "$count" >&2
printf '%s\n' "$bad" | sed 's/^/  /' >&2
printf 'To format them: bash scripts/check-format.sh --fix\n' >&2
exit 1
