#!/bin/sh
# Gives keys_by_reader.py what a desktop gives a screen reader: a session bus with the
# accessibility bus on it, and a window manager (openbox) on the test display, which Qt's focus
# and shortcuts need for real keys.
# Usage: keys_by_reader.sh QUILLET CODEC
[ -n "$QUILLET_X_DISPLAY" ] || { echo "no test display: start the test services first"; exit 1; }
export DISPLAY="$QUILLET_X_DISPLAY"
exec dbus-run-session -- sh -c '
    openbox >/dev/null 2>&1 & wm=$!
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & bus=$!
    sleep 1
    /usr/bin/python3 "$0" "$1" "$2"; status=$?
    kill $wm $bus 2>/dev/null
    exit $status' "$(dirname "$0")/keys_by_reader.py" "$1" "$2"
