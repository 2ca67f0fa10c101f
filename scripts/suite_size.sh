#!/usr/bin/env bash
# Lines of the test suite against lines of the program, as tracked by git: the suite is tests/;
# the program is its sources, build files, scripts and packaging, without the benchmarks, the
# documents and pictures, and the tools that measure the suite (coverage and planted faults).
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    git ls-files -- "$@" | grep -v -E '\.(png|svg|ico|bmp|gif|jpg|md)$' | tr '\n' '\0' |
        xargs -0 cat | wc -l
}
tests=$(count tests)
program=$(count base app audio playback cutter share resources transcoder packaging scripts \
    CMakeLists.txt ':!scripts/mutants.*' ':!scripts/coverage.sh' ':!scripts/suite_size.sh')
awk -v t="$tests" -v p="$program" \
    'BEGIN { printf "tests %d lines, program %d lines: %.2f of the program\n", t, p, t / p }'
