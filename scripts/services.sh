#!/usr/bin/env bash
# Sourced by the test and bench scripts: starts a private PulseAudio server with a null sink and an
# Xvfb display, and stops both (by their PIDs) when the calling shell exits.
quillet_services_start() {
    export XDG_RUNTIME_DIR
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    unset PULSE_SERVER
    export QUILLET_SOUND_SERVER=pulseaudio-null-sink
    # Without norewinds the null sink renders ahead up to two seconds of silence while no stream
    # plays, and every newly started stream then waits that long before it is heard. The socket
    # lies in a private folder and takes clients without a cookie: tests run with homes of their own.
    pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --load="module-null-sink sink_name=null norewinds=1" \
        --load="module-native-protocol-unix auth-anonymous=1" \
        >/dev/null 2>&1
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start" >&2; return 1; }

    # Xvfb picks a free display and writes its number once it accepts clients. -noreset: by
    # default the server resets whenever its last client leaves, and a program that connects at
    # that moment gets "could not connect to display".
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" \
        >/dev/null 2>&1 &
    QUILLET_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; rm -f "$display_file"; return 1; }
    export QUILLET_X_DISPLAY=":$(head -n 1 "$display_file")"
    rm -f "$display_file"
    trap quillet_services_stop EXIT
}

quillet_services_stop() {
    local pid_file="$XDG_RUNTIME_DIR/pulse/pid"
    [ -f "$pid_file" ] && kill "$(cat "$pid_file")" 2>/dev/null
    [ -n "${QUILLET_XVFB_PID:-}" ] && kill "$QUILLET_XVFB_PID" 2>/dev/null
    rm -rf "$XDG_RUNTIME_DIR"
}
