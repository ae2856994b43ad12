#!/usr/bin/env bash
# Simultaneous conversions: 20 FLAC files of 30 s to MP3 (the default MP3 settings: CBR 128,
# "Joint Stereo", encoder quality 5) with kelvanto-batch --jobs 1 against --jobs 2, the runs
# alternating, median of 5 (KV_BENCH_RUNS=n for n); then the peak memory while two 2-hour
# FLAC files convert at once (--jobs 2, to 8 kHz mono MP3 so lame keeps pace with the decoder):
# the tool's own peak (GNU time) and the peak of the tool and its encoders together, sampled
# every 0.2 s.
# Usage: bench/jobs_bench.sh [build-dir] [hours of the long source, default 2]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
hours="${2:-2}"
tool="$build/bin/kelvanto-batch"
runs="${KV_BENCH_RUNS:-5}"
work=$(mktemp -d /tmp/kelvanto-jobs.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME" "$work/short"

for i in $(seq -w 1 20); do
    ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=$((200 + 10#$i * 20)):sample_rate=44100:duration=30" \
        -f lavfi -i "anoisesrc=r=44100:a=0.05:d=30" -filter_complex "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=c0" \
        -c:a flac "$work/short/s$i.flac"
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# "wall-seconds cpu-seconds" of one batch, its output folder emptied first.
batch() {
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f "%e %U %S" -o "$work/t" "$tool" --convert --format mp3 --jobs "$1" \
        --out "$work/out" "$work"/short/*.flac >/dev/null 2>&1
    awk '{ print $1, $2 + $3 }' "$work/t"
}
: >"$work/j1"; : >"$work/j2"
for _ in $(seq "$runs"); do
    batch 1 >>"$work/j1"
    batch 2 >>"$work/j2"
done
col() { awk -v c="$1" '{ print $c }' "$2" | median; }
j1=$(col 1 "$work/j1"); j2=$(col 1 "$work/j2")
echo "20 x 30 s FLAC to MP3 on $(nproc) cores, median of $runs (kelvanto-batch --convert --format mp3)"
printf "scaling  --jobs 1 %7.3f s   --jobs 2 %7.3f s   ratio %.3f   cpu: %.3f s and %.3f s\n" \
    "$j1" "$j2" "$(awk -v a="$j2" -v b="$j1" 'BEGIN { print a / b }')" \
    "$(col 2 "$work/j1")" "$(col 2 "$work/j2")"

# Two long sources at once: what the tool holds does not grow with the length of a file.
rm -rf "$work/short" "$work/out"
seconds=$(awk -v h="$hours" 'BEGIN { print h * 3600 }')
ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" \
    -ac 2 -c:a flac "$work/long1.flac"
cp "$work/long1.flac" "$work/long2.flac"
mkdir -p "$work/out"
/usr/bin/time -f "%M %e" -o "$work/peak" "$tool" --convert --format mp3 --jobs 2 \
    --set optMP3CBR=True --set cmbMP3CBitrate=9 --set cmbMP3StereoMode=0 --set cmbMP3Freq=1 \
    --set SliderMP3EncoderQuality=0 --out "$work/out" "$work/long1.flac" "$work/long2.flac" \
    >"$work/list" 2>/dev/null &
timer=$!
# The tool is the child of time; its encoders are its children.
tree_kib() {
    local pid="$1" sum=0 kids rss
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    sum=$((sum + ${rss:-0}))
    kids=$(cat /proc/"$pid"/task/*/children 2>/dev/null || true)
    for k in $kids; do sum=$((sum + $(tree_kib "$k"))); done
    echo "$sum"
}
tree_peak=0
while kill -0 "$timer" 2>/dev/null; do
    now=0
    for k in $(cat /proc/"$timer"/task/*/children 2>/dev/null || true); do
        now=$((now + $(tree_kib "$k")))
    done
    [ "$now" -gt "$tree_peak" ] && tree_peak=$now
    sleep 0.2
done
wait "$timer" || { echo "the long conversion failed" >&2; exit 1; }
complete=$(awk -F'\t' '$2 == "Complete"' "$work/list" | wc -l)
read -r peak elapsed <"$work/peak"
printf "peak memory, two %s-hour FLAC files at once (--jobs 2, %d of 2 Complete in %.1f s): " \
    "$hours" "$complete" "$elapsed"
printf "kelvanto-batch %d KiB, with its encoders %d KiB\n" "$peak" "$tree_peak"
