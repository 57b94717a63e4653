#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the program's own sources, on the default
# build's compile database, two files at a time. Exits non-zero on any finding: the tree is kept
# clean, and a name that keeps an older style says why where it stands (NOLINT with a reason).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/deps.sh clang-tidy
# Generated headers (the version, the dialog templates' pictures) must exist: build first.
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
run-clang-tidy -p build/default -j2 -quiet \
    "^$root/(types|imaging|engine|app|res|batch|ui|cli)/" >"$log" 2>/dev/null || true

# "path:line:col: warning: text [check]", without the colours.
mapfile -t found < <(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^/.*: (warning|error): ' |
    sed -E "s#^$root/##" | sort -u)
echo "clang-tidy: ${#found[@]} findings"
if [ ${#found[@]} -gt 0 ]; then
    printf '%s\n' "${found[@]}"
    exit 1
fi
