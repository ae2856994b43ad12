#!/usr/bin/env bash
# Launch to painted window under a real X server (Xvfb) with a private sound server: the
# median of 9 launches. Usage: bench/startup_bench.sh [build-dir]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
bin="$build/bin/startup-bench"
work=$(mktemp -d /tmp/kelvanto-startup.XXXXXX)
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/config"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -D --exit-idle-time=-1 -n --load=module-null-sink --load=module-native-protocol-unix \
    >/dev/null 2>&1 || true
trap 'pulseaudio --kill >/dev/null 2>&1 || true; sleep 0.2; rm -rf "$work"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    for i in $(seq 9); do "$0" "$(date +%s%N)"; done' "$bin" |
    sort -n | awk '{a[NR]=$1} END {printf "launch to painted window: median %s ms of %d runs (min %s, max %s)\n", a[int((NR+1)/2)], NR, a[1], a[NR]}'
