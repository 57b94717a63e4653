#!/usr/bin/env bash
# Builds Pictorum and runs every test. Usage: scripts/test.sh [default|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" --timeout 600 -j2
