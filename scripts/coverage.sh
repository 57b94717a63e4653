#!/usr/bin/env bash
# Builds every test with gcc's line coverage, runs them, and prints the share of lines run per
# folder of the program (tests, benchmarks and the fuzz targets are not counted). A figure to
# look at, not a gate: nothing fails on it. Usage: scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
bash scripts/deps.sh gcovr
cmake --preset coverage >/dev/null
cmake --build --preset coverage
# Counts from an earlier run would be added to this one's. The counters' own complaints go to
# a file of their own: tests read what the programs write on standard error.
find build/coverage -name '*.gcda' -delete
export GCOV_ERROR_FILE="$root/build/coverage/gcov-errors.log"
# A failing test still leaves its counts; the figures are printed either way.
ctest --preset coverage --timeout 600 -j2 >build/coverage/ctest.log 2>&1 ||
    echo "some tests failed: see build/coverage/ctest.log"
gcovr --root "$root" --object-directory build/coverage --json-summary build/coverage/summary.json \
    --exclude "$root/tests/" --exclude "$root/bench/" --exclude "$root/fuzz/" \
    --exclude "$root/build/" --gcov-ignore-parse-errors >/dev/null
python3 - build/coverage/summary.json <<'PY'
import collections, json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = collections.defaultdict(lambda: [0, 0])
for f in files:
    parts = f["filename"].split("/")
    folder = "/".join(parts[:2]) if parts[0] == "app" and len(parts) > 2 else parts[0]
    folders[folder][0] += f["line_covered"]
    folders[folder][1] += f["line_total"]
covered = sum(c for c, _ in folders.values())
total = sum(t for _, t in folders.values())
print(f"{'folder':<16}{'lines':>8}{'run':>8}{'share':>8}")
for name in sorted(folders):
    c, t = folders[name]
    print(f"{name:<16}{t:>8}{c:>8}{100.0 * c / max(t, 1):>7.1f}%")
print(f"{'all':<16}{total:>8}{covered:>8}{100.0 * covered / max(total, 1):>7.1f}%")
PY
