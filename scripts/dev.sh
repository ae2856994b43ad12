#!/usr/bin/env bash
# Installs what is missing, builds, then starts the program (run) or the test suite (test).
# Usage: scripts/dev.sh run | test [ctest options] | build
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KV_BUILD_DIR:-$root/build}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

install_missing() {
    local missing=()
    while read -r pkg; do
        [ -n "$pkg" ] || continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$pkg")
        fi
    done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$root/packages.txt")
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build_all() {
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build "$build" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    build_all
    # The program needs a sound server for its output device; a machine without one (a
    # server, a fresh container) gets a PulseAudio daemon of its own.
    if ! pactl info >/dev/null 2>&1; then
        pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || true
    fi
    exec "$build/bin/kelvanto"
    ;;
test)
    install_missing
    build_all
    exec "$root/scripts/run-tests.sh" "$build" "${@:2}"
    ;;
build)
    install_missing
    build_all
    ;;
*)
    echo "usage: $0 run|test|build" >&2
    exit 2
    ;;
esac
