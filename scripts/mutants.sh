#!/usr/bin/env bash
# Plants each fault of scripts/mutants.txt in turn into a scratch copy of the tracked sources,
# rebuilds, runs the tests the fault names and tells which faults the suite catches.
# Usage: bash scripts/mutants.sh [--only ID[,ID...]] [--section TEXT] [--keep]
#   --only     run just these faults
#   --section  run just the faults under a heading of the list that holds TEXT
#   --keep     keep the scratch copy and its build (a later run then builds incrementally)
# The scratch folder is ${QUILLET_MUTANTS_DIR:-${TMPDIR:-/tmp}/quillet-mutants-<worktree folder name>}.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1
source scripts/services.sh
quillet_services_start || exit 1
python3 scripts/mutants.py "$@"
