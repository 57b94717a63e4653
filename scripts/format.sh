#!/usr/bin/env bash
# Formats every C++ file the repository tracks with the repository's .clang-format, or, with
# --check, only reports the files that differ and fails (what CI runs before building).
# Usage: scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh >/dev/null
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    if ! clang-format --dry-run --Werror "${files[@]}"; then
        echo "Some files are not formatted; run: bash scripts/format.sh" >&2
        exit 1
    fi
    echo "Format check: ${#files[@]} files formatted"
else
    clang-format -i "${files[@]}"
fi
