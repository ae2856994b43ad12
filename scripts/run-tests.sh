#!/usr/bin/env bash
# Runs the whole test suite of a build folder, with the services the tests need: a private
# PulseAudio daemon with a null sink (the output device) and a private session bus.
set -uo pipefail
build="$1"

work=$(mktemp -d /tmp/kelvanto-tests.XXXXXX)
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
# Tests give themselves homes of their own; the sound server's cookie stays findable.
export PULSE_COOKIE="$HOME/.config/pulse/cookie"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen

cleanup() {
    pulseaudio --kill >/dev/null 2>&1 || true
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" >/dev/null 2>&1 || true
    # The sound server may still be removing its own files.
    for _ in $(seq 20); do rm -rf "$work" 2>/dev/null && break; sleep 0.1; done
}
trap cleanup EXIT

if command -v dbus-daemon >/dev/null 2>&1; then
    { read -r DBUS_SESSION_BUS_ADDRESS; read -r DBUS_SESSION_BUS_PID; } < <(
        dbus-daemon --session --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS
fi
if command -v pulseaudio >/dev/null 2>&1; then
    # As root the daemon warns that it is not meant for root, and runs all the same.
    pulseaudio -D --exit-idle-time=-1 -n --load=module-null-sink \
        --load=module-native-protocol-unix >/dev/null 2>&1 || echo "warning: pulseaudio did not start"
    sound=no
    for _ in $(seq 50); do
        if pactl info >/dev/null 2>&1; then sound=yes; break; fi
        sleep 0.1
    done
    if [ "$sound" = yes ]; then
        echo "sound server: $(pactl info | sed -n 's/^Default Sink: //p') ($PULSE_RUNTIME_PATH)"
    else
        echo "warning: no sound server; the tests that need an output device will fail"
    fi
fi

shift
cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@"
