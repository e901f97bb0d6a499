#!/usr/bin/env bash
# Checks that every C++ file follows .clang-format (or, with --fix, reformats them).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run --Werror "${files[@]}"
fi
