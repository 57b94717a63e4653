#!/usr/bin/env bash
# Benchmarks a batch run against ImageMagick, GraphicsMagick and libvips and against the bare
# decode-and-encode cost, on pictures it draws itself. Not part of the tests.
# Usage: scripts/bench.sh [--rounds N] [--per-size N] [--formats JPEG,TIFF,PNG] [--work DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
peers=(imagemagick graphicsmagick libvips-tools)
missing=()
for p in "${peers[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTORUM_BUILD_BENCH=ON \
    -DPICTORUM_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target pictorum_bench -j2
exec build/bench/bench/pictorum_bench "$@"
