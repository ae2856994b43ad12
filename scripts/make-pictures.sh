#!/usr/bin/env bash
# Takes the pictures of the README (docs/) and of the manual (data/Help/images/) anew from the
# real window under Xvfb: a batch under way, the options panel up, the pages of FLAC, Opus and
# M4A, the about panel up.
# The pictures show the paths of a home folder made for them, /home/user (or KV_PICTURE_HOME),
# which must not exist beforehand and is removed afterwards; /home must be writable (root).
# Usage: scripts/make-pictures.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${1:-${KV_BUILD_DIR:-$root/build}}"
cmake --build "$build" --target kv-screenshots kv_data

home="${KV_PICTURE_HOME:-/home/user}"
marker="$home/.kelvanto-pictures"
# A home left by a run that was killed is ours to remove; any other is someone's.
if [ -e "$home" ] && ! [ -e "$marker" ]; then
    echo "$home exists; set KV_PICTURE_HOME to a folder that does not" >&2
    exit 1
fi
rm -rf "$home"
mkdir -p "$home"
touch "$marker"

work=$(mktemp -d /tmp/kelvanto-pictures.XXXXXX)
export XDG_RUNTIME_DIR="$work/runtime"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
mkdir -p "$XDG_RUNTIME_DIR" "$work/out"
chmod 700 "$XDG_RUNTIME_DIR"
cleanup() {
    pulseaudio --kill >/dev/null 2>&1 || true
    rm -rf "$work" "$home"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The window opens the output device when it loads: a private sound server with a null sink.
pulseaudio -D --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix >/dev/null 2>&1
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
    "$build/tools/kv-screenshots" "$work/out" "$home"

mkdir -p "$root/data/Help/images"
for name in window options options-flac options-opus options-m4a about; do
    cp "$work/out/$name.png" "$root/data/Help/images/$name.png"
done
cp "$work/out/window.png" "$root/docs/screenshot.png"
cp "$work/out/options.png" "$root/docs/options.png"
cp "$work/out/about.png" "$root/docs/about.png"
echo "pictures written to docs/ and data/Help/images/"
