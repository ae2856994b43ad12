#!/usr/bin/env bash
# Preview on a private PulseAudio null sink: Play click to first audio, and the CPU of a stretch
# of playback. Usage: bench/preview_bench.sh [build-dir] [seconds of playback, default 60]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
seconds="${2:-60}"
work=$(mktemp -d /tmp/kelvanto-preview.XXXXXX)
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/config"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
unset PULSE_SERVER
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --load=module-null-sink \
    --load=module-native-protocol-unix >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
"$build/bench/preview-bench" "$seconds"
