#!/bin/sh
# Runs a test from a copy beside a copy of codec.dll in a temporary program folder, so that what
# the window writes there (temp.wav, coder.exe) stays out of the build.
# Usage: in_program_copy.sh TEST CODEC [TEST_ARGUMENTS...]
folder=$(mktemp -d "${TMPDIR:-/tmp}/quillet-program-XXXXXX") || exit 1
trap 'rm -rf "$folder"' EXIT
trap 'exit 143' INT TERM HUP
cp "$1" "$2" "$folder/" || exit 1
test="$folder/${1##*/}"
shift 2
"$test" "$@"
