#!/usr/bin/env bash
# Fuzzes with libFuzzer for about a minute in all, after replaying every saved regression input
# through each target: the picture pipeline (decode, compose, encode) for two thirds of the
# time, the lossless route's JPEG scan reader alone for the rest. Exits non-zero when any input
# crashes, leaks, hangs past the time-out or runs out of memory.
# Environment: PICTORUM_FUZZ_BUILD (build folder, default build/fuzz), PICTORUM_FUZZ_SECONDS.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${PICTORUM_FUZZ_BUILD:-$root/build/fuzz}"
seconds="${PICTORUM_FUZZ_SECONDS:-60}"
# The scan reader is one unit and small: a third of the time covers it.
walkSeconds=$(( seconds / 3 > 0 ? seconds / 3 : 1 ))
pipelineSeconds=$(( seconds - walkSeconds > 0 ? seconds - walkSeconds : 1 ))

# clang and its runtime libraries (libFuzzer and the sanitizers).
bash scripts/deps.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPICTORUM_FUZZ=ON -DPICTORUM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target pictorum_fuzz pictorum_fuzz_scanwalk -j2

seeds="$build/fuzz/corpus"
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
export QT_QPA_PLATFORM=offscreen
options=(-rss_limit_mb=2048 -timeout=10 -artifact_prefix="$artifacts/")
mapfile -t regressions < <(find "$root/fuzz/regressions" -type f ! -name '*.md' | sort)

# fuzz <target> <its own working corpus> <seconds>
fuzz() {
    local fuzzer="$build/fuzz/$1" work="$build/fuzz/$2"
    mkdir -p "$work"
    # Inputs that once broke something must keep passing.
    if [ ${#regressions[@]} -gt 0 ]; then
        echo "Replaying ${#regressions[@]} regression inputs through $1"
        "$fuzzer" "${options[@]}" "${regressions[@]}"
    fi
    echo "Fuzzing $1 for $3 s"
    "$fuzzer" "${options[@]}" -dict="$root/fuzz/jpeg.dict" -max_total_time="$3" \
        -print_final_stats=1 "$work" "$seeds" "$root/fuzz/regressions"
}
fuzz pictorum_fuzz corpus-work "$pipelineSeconds"
fuzz pictorum_fuzz_scanwalk corpus-scanwalk-work "$walkSeconds"
echo "Fuzzing found nothing"
