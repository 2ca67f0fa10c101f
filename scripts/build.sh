#!/usr/bin/env bash
# Installs what is missing and builds Quillet into build/. Warnings are errors unless
# QUILLET_WERROR=OFF is given: the run and the test commands then share one build, and neither
# rebuilds the other's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR="${QUILLET_WERROR:-ON}" >/dev/null
cmake --build build -j"${JOBS:-2}"
