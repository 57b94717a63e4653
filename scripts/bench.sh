#!/usr/bin/env bash
# Benchmarks a batch run against ImageMagick, GraphicsMagick and libvips and against the bare
# decode-and-encode cost, on pictures it draws itself. Not part of the tests.
# Usage: scripts/bench.sh [--rounds N] [--per-size N] [--formats JPEG,TIFF,PNG,AVIF,JXL] [--work DIR]
#        [--list-entries N] [--list-only] [--responsive-only] [--memory-only] [--colour-only]
#        [--marks-only]
set -euo pipefail
cd "$(dirname "$0")/.."

# The peers come from Debian's packages too.
bash scripts/deps.sh imagemagick graphicsmagick libvips-tools

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTORUM_BUILD_BENCH=ON \
    -DPICTORUM_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target pictorum_bench -j2
exec build/bench/bench/pictorum_bench "$@"
