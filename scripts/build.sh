#!/usr/bin/env bash
# Installs what is missing and builds Quillet into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR="${QUILLET_WERROR:-OFF}" >/dev/null
cmake --build build -j"${JOBS:-2}"
