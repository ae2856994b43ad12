#!/usr/bin/env bash
# WMA conversion speed: kelvanto-batch against the ffmpeg command line on the same 10-minute
# FLAC, in the same run, both at 128 kbit/s (the slider's middle at 44.1 kHz stereo). Median
# of 5 runs each, and the peak memory of our tool.
# Usage: bench/wma_bench.sh [build-dir]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
tool="$build/bin/kelvanto-batch"
runs="${KV_BENCH_RUNS:-5}" # runs of each command; bench/perf_report.sh asks for fewer
work=$(mktemp -d /tmp/kelvanto-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME"

# Music-like content: two tones over soft noise, so the encoder has real work to do.
ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
    -f lavfi -i "sine=frequency=659:sample_rate=44100:duration=600" \
    -f lavfi -i "anoisesrc=r=44100:a=0.05:d=600" \
    -filter_complex "[0][1][2]amix=inputs=3,pan=stereo|c0=c0|c1=c0" -c:a flac "$work/long.flac"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# "elapsed cpu" seconds of one run (cpu = user + system), its outputs removed first
timed() {
    local out="$1"; shift
    rm -rf "$out"; mkdir -p "$out"
    /usr/bin/time -f "%e %U %S" -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ print $1, $2 + $3 }' "$work/t"
}

ours=("$tool" --convert --format wma --set sliderWMA=50 --out "$work/o1" "$work/long.flac")
theirs=(ffmpeg -v error -nostdin -y -i "$work/long.flac" -c:a wmav2 -b:a 128k "$work/o2/long.wma")

# Runs alternate, so a change in the machine's load hits both alike.
: >"$work/ours"; : >"$work/theirs"
for _ in $(seq "$runs"); do
    timed "$work/o1" "${ours[@]}" >>"$work/ours"
    timed "$work/o2" "${theirs[@]}" >>"$work/theirs"
done
col() { awk -v c="$1" '{ print $c }' "$2" | median; }
ours_s=$(col 1 "$work/ours"); theirs_s=$(col 1 "$work/theirs")
ours_cpu=$(col 2 "$work/ours"); theirs_cpu=$(col 2 "$work/theirs")
bitrate=$(ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 "$work/o1/long.wma")
rm -rf "$work/o1"; mkdir -p "$work/o1"
/usr/bin/time -f "%M" -o "$work/peak" "${ours[@]}" >/dev/null 2>&1
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "WMA conversion of a 10-minute FLAC, median of $runs"
echo "(ours = kelvanto-batch --convert --format wma; ffmpeg = ffmpeg -c:a wmav2 -b:a 128k)"
printf "elapsed  ours %7.3f s   ffmpeg %7.3f s   ratio %s\n" "$ours_s" "$theirs_s" \
    "$(ratio "$ours_s" "$theirs_s")"
printf "cpu      ours %7.3f s   ffmpeg %7.3f s   ratio %s\n" "$ours_cpu" "$theirs_cpu" \
    "$(ratio "$ours_cpu" "$theirs_cpu")"
printf "our bitrate %s bit/s, our peak memory %d KiB\n" "$bitrate" "$(tail -1 "$work/peak")"
