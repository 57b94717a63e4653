#!/usr/bin/env bash
# Builds Pictorum and runs every test. Usage: scripts/test.sh [default|asan|tsan]
# tsan builds the threaded parts' test programs with clang and runs them under the thread
# sanitizer (see the tsan presets).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

if [ "$preset" = tsan ]; then
    # llvm-14: the symbolizer, without which the suppressions (matched by name) match nothing.
    bash scripts/deps.sh clang libclang-rt-14-dev llvm-14
else
    bash scripts/deps.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" --timeout 600 -j2
