#!/bin/sh
# Runs a test from a copy of itself in a temporary program folder beside a copy of codec.dll, so
# that what the program writes into its own folder (temp.wav, coder.exe) stays out of the build.
# Usage: in_program_copy.sh TEST_EXECUTABLE CODEC [TEST_ARGUMENTS...]
set -eu
folder=$(mktemp -d "${TMPDIR:-/tmp}/quillet-program-XXXXXX")
cp "$1" "$2" "$folder/"
test="$folder/$(basename "$1")"
shift 2
"$test" "$@" &
child=$!
trap 'kill "$child" 2>/dev/null' INT TERM HUP
status=0
wait "$child" || status=$?
wait "$child" 2>/dev/null || true # after a signal, until the test has ended
rm -rf "$folder"
exit "$status"
