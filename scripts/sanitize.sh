#!/usr/bin/env bash
# The test suite built with clang under AddressSanitizer and UndefinedBehaviorSanitizer, in a
# build folder of its own; the same build holds the fuzz targets (scripts/fuzz.sh).
# Usage: scripts/sanitize.sh [ctest arguments...]   (KV_SAN_BUILD_DIR picks the folder)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KV_SAN_BUILD_DIR:-$root/build-san}"

if [ ! -f "$build/build.ninja" ]; then
    # Line tables only: enough for the reports, and quicker to build.
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O1 -gline-tables-only" -DKV_FUZZ=ON -DBUILD_TESTING=ON \
        >/dev/null
fi
cmake --build "$build" -j "${KV_JOBS:-$(nproc)}"

# Qt and the other libraries are not built with the sanitizers; the leaks they keep until exit
# are theirs. Leaks are looked for by the fuzz runs, on our parsers alone.
# A small quarantine of freed blocks (the default keeps 256 MB), so the tests that hold memory
# under a ceiling measure ours.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:quarantine_size_mb=8:thread_local_quarantine_size_kb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$root/scripts/run-tests.sh" "$build" "$@"
