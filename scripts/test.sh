#!/usr/bin/env bash
# Installs what is missing, builds (warnings as errors; the build scripts/run.sh starts), starts
# the services the tests need (PulseAudio with a null sink, Xvfb), runs the whole suite through
# CTest and stops the services.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
source scripts/services.sh
quillet_services_start
cd build
ctest --output-on-failure --timeout 300 "$@"
