#!/usr/bin/env bash
# Builds Quillet with gcov instrumentation into BUILD_DIR (default build-coverage), runs the whole
# suite through CTest with the test services up, and prints line and branch coverage per program
# folder. The transcoder runs as a process of its own; it writes its counts when it exits, so the
# runs the tests start are counted too (a run stopped by a signal writes none).
# Usage: bash scripts/coverage.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-coverage}
case "$build" in /*) ;; *) build="$root/$build" ;; esac

command -v gcovr >/dev/null 2>&1 || bash scripts/install-deps.sh gcovr || exit 1

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUILLET_COVERAGE=ON >/dev/null || exit 1
cmake --build "$build" -j"${JOBS:-2}" || exit 1

# Counts of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete

source scripts/services.sh
quillet_services_start || exit 1
(cd "$build" && ctest --output-on-failure --timeout 600)
ctest_status=$?

summary="$build/coverage-summary.json"
gcovr --root "$root" --object-directory "$build" -j "${JOBS:-2}" \
    --filter "$root/(app|audio|playback|cutter|share|transcoder)/" \
    --exclude '.*/tests/.*' --exclude '.*/bench/.*' --exclude '.*/build[^/]*/.*' \
    --exclude '.*(moc_|qrc_|ui_)[^/]*' --exclude '.*_autogen/.*' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --json-summary-pretty --output "$summary" || exit 1

python3 - "$summary" <<'EOF'
import json, sys
folders = ["app", "audio", "playback", "cutter", "share", "transcoder"]
sums = {f: [0, 0, 0, 0] for f in folders + ["total"]}
for entry in json.load(open(sys.argv[1]))["files"]:
    top = entry["filename"].split("/")[0]
    if top not in folders:
        continue
    for key in (top, "total"):
        s = sums[key]
        s[0] += entry["line_covered"]
        s[1] += entry["line_total"]
        s[2] += entry["branch_covered"]
        s[3] += entry["branch_total"]
def pct(a, b):
    return f"{100.0 * a / b:5.1f} %" if b else "    - "
print(f"\n{'folder':<12} {'lines':>15} {'':>8} {'branches':>15} {'':>8}")
for key in folders + ["total"]:
    lc, lt, bc, bt = sums[key]
    if key == "total":
        print("-" * 62)
    print(f"{key + '/' if key != 'total' else key:<12} {lc:>7} / {lt:<6} {pct(lc, lt)} "
          f"{bc:>7} / {bt:<6} {pct(bc, bt)}")
EOF
[ $ctest_status -eq 0 ] || echo "coverage.sh: some tests failed (ctest exit $ctest_status)" >&2
exit $ctest_status
