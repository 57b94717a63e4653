#!/usr/bin/env bash
# Fuzzes the picture pipeline (decode, compose, encode) for about a minute with libFuzzer,
# after replaying every saved regression input. Exits non-zero when any input crashes, leaks,
# hangs past the time-out or runs out of memory.
# Environment: PICTORUM_FUZZ_BUILD (build folder, default build/fuzz), PICTORUM_FUZZ_SECONDS.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${PICTORUM_FUZZ_BUILD:-$root/build/fuzz}"
seconds="${PICTORUM_FUZZ_SECONDS:-60}"

# clang and its runtime libraries (libFuzzer and the sanitizers).
bash scripts/deps.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPICTORUM_FUZZ=ON -DPICTORUM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target pictorum_fuzz -j2

fuzzer="$build/fuzz/pictorum_fuzz"
seeds="$build/fuzz/corpus"
work="$build/fuzz/corpus-work"
artifacts="$build/fuzz/artifacts"
mkdir -p "$work" "$artifacts"
export QT_QPA_PLATFORM=offscreen
options=(-rss_limit_mb=2048 -timeout=10 -artifact_prefix="$artifacts/")

# Inputs that once broke something must keep passing.
mapfile -t regressions < <(find "$root/fuzz/regressions" -type f ! -name '*.md' | sort)
if [ ${#regressions[@]} -gt 0 ]; then
    echo "Replaying ${#regressions[@]} regression inputs"
    "$fuzzer" "${options[@]}" "${regressions[@]}"
fi

echo "Fuzzing for ${seconds} s"
"$fuzzer" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$work" "$seeds" "$root/fuzz/regressions"
echo "Fuzzing found nothing"
