#!/usr/bin/env bash
# WMA conversion speed: kelvanto-batch against the ffmpeg command line on the same 10-minute
# FLAC, in the same run, both at 128 kbit/s (the slider's middle at 44.1 kHz stereo). Median
# of 5 runs each, and the peak memory of our tool.
# Usage: bench/wma_bench.sh [build-dir]
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"

music_flac "$work/long.flac"

ours=("$tool" --convert --format wma --set sliderWMA=50 --out "$work/o1" "$work/long.flac")
theirs=(ffmpeg -v error -nostdin -y -i "$work/long.flac" -c:a wmav2 -b:a 128k "$work/o2/long.wma")

# Runs alternate, so a change in the machine's load hits both alike.
: >"$work/ours"; : >"$work/theirs"
for _ in $(seq "$runs"); do
    timed "$work/o1" "${ours[@]}" >>"$work/ours"
    timed "$work/o2" "${theirs[@]}" >>"$work/theirs"
done
ours_s=$(col 1 "$work/ours"); theirs_s=$(col 1 "$work/theirs")
ours_cpu=$(col 2 "$work/ours"); theirs_cpu=$(col 2 "$work/theirs")
bitrate=$(ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 "$work/o1/long.wma")
rm -rf "$work/o1"; mkdir -p "$work/o1"
/usr/bin/time -f "%M" -o "$work/peak" "${ours[@]}" >/dev/null 2>&1
echo "WMA conversion of a 10-minute FLAC, median of $runs"
echo "(ours = kelvanto-batch --convert --format wma; ffmpeg = ffmpeg -c:a wmav2 -b:a 128k)"
printf "elapsed  ours %7.3f s   ffmpeg %7.3f s   ratio %s\n" "$ours_s" "$theirs_s" \
    "$(ratio "$ours_s" "$theirs_s")"
printf "cpu      ours %7.3f s   ffmpeg %7.3f s   ratio %s\n" "$ours_cpu" "$theirs_cpu" \
    "$(ratio "$ours_cpu" "$theirs_cpu")"
printf "our bitrate %s bit/s, our peak memory %d KiB\n" "$bitrate" "$(tail -1 "$work/peak")"
