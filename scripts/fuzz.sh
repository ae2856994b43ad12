#!/usr/bin/env bash
# Builds the fuzz targets with clang into their own folder and runs each for a while.
# Usage: scripts/fuzz.sh SECONDS [target...]   (targets: ini settings midi mp3gapless naming cd wavsize)
# The corpus grows in <build>/corpus/<target>; a crash, leak or failed check is kept in
# <build>/findings/<target>/ and makes the script exit 1.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KV_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:?usage: $0 SECONDS [target...]}"
shift
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(ini settings midi mp3gapless naming cd wavsize)

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" -j "${KV_JOBS:-2}" --target fuzz
python3 "$root/fuzz/make-seeds.py" "$build/seeds"

# The readers that take a path get their scratch files in memory when they can.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export QT_LOGGING_RULES="*=false"

status=0
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t" "$build/findings/$t"
    echo "fuzz-$t: ${seconds}s"
    if ! "$build/fuzz/fuzz-$t" "$build/corpus/$t" "$build/seeds/$t" \
        -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=1024 \
        -artifact_prefix="$build/findings/$t/" -print_final_stats=1 \
        >"$build/findings/$t.log" 2>&1; then
        echo "fuzz-$t: FAILED, see $build/findings/$t.log" >&2
        tail -n 40 "$build/findings/$t.log" >&2
        status=1
    else
        grep -E '^stat::(number_of_executed_units|new_units_added)|^#[0-9]+.*DONE' \
            "$build/findings/$t.log" | sed "s/^/fuzz-$t: /"
    fi
done
exit $status
