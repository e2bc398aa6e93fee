#!/usr/bin/env bash
# Fails on a C++ file that clang-format (Debian 12's, with the project's
# .clang-format) would change, naming each: the code is kept formatted.
#
#   bash scripts/check-format.sh          check
#   bash scripts/check-format.sh --fix    format the files in place
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path ./build -prune -o -path ./out -prune -o \
        \( -name '*.cpp' -o -name '*.h' \) -print | sort)
fi

if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
unformatted=()
for file in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done
if [ "${#unformatted[@]}" -gt 0 ]; then
    echo "Not formatted as .clang-format says (bash scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "${#files[@]} C++ files formatted"
