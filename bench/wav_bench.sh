#!/usr/bin/env bash
# WAV conversion speed: kelvanto-batch against the ffmpeg command line on the same inputs, in
# the same run. A 10-minute FLAC, then a batch of 20 short files. Median of 5 runs each, and the
# peak memory of our tool.
# Usage: bench/wav_bench.sh [build-dir]
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"

ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
    -ac 2 -c:a flac "$work/long.flac"
mkdir -p "$work/short"
for i in $(seq -w 1 20); do
    ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=$((200 + 10#$i * 20)):sample_rate=44100:duration=15" \
        -ac 2 -c:a flac "$work/short/s$i.flac"
done

now() { date +%s.%N; }

# seconds of one run of a command, its outputs removed first
timed() {
    local out="$1"; shift
    rm -rf "$out"; mkdir -p "$out"
    local t0 t1
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}

ours_long() { "$tool" --convert --format wav --out "$work/o1" "$work/long.flac"; }
ffmpeg_long() { ffmpeg -v error -nostdin -y -i "$work/long.flac" "$work/o2/long.wav"; }
ours_batch() { "$tool" --convert --format wav --out "$work/o1" "$work"/short/*.flac; }
ffmpeg_batch() {
    for f in "$work"/short/*.flac; do
        ffmpeg -v error -nostdin -y -i "$f" "$work/o2/$(basename "${f%.flac}").wav"
    done
}

report() {
    local name="$1" ours theirs
    ours=$(for _ in $(seq "$runs"); do timed "$work/o1" "ours_$name"; done | median)
    theirs=$(for _ in $(seq "$runs"); do timed "$work/o2" "ffmpeg_$name"; done | median)
    rm -rf "$work/o1"; mkdir -p "$work/o1"
    local peak
    case "$name" in
    long) /usr/bin/time -f "%M" -o "$work/peak" "$tool" --convert --format wav --out "$work/o1" \
              "$work/long.flac" >/dev/null 2>&1 ;;
    batch) /usr/bin/time -f "%M" -o "$work/peak" "$tool" --convert --format wav --out "$work/o1" \
               "$work"/short/*.flac >/dev/null 2>&1 ;;
    esac
    peak=$(tail -1 "$work/peak")
    printf "%-22s ours %7.3f s   ffmpeg %7.3f s   ratio %5.2f   our peak memory %6d KiB\n" \
        "$name" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "$peak"
}

echo "WAV conversion, median of $runs (ours = kelvanto-batch --convert --format wav)"
report long
report batch
