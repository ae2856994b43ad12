#!/usr/bin/env bash
# A very long 96 kHz 24-bit stereo source converted to every format with kelvanto-batch: time,
# our peak memory (the encoder processes of MP3 and Ogg Vorbis apart), the output's length, and
# for WAV that the file is RF64. The source is a one-minute slow square wave looped and
# encoded as FLAC, which packs six hours into about 550 MB rather than 12 GB.
# Usage: bench/long_source_bench.sh [build-dir] [hours] [formats...]   (default: 6, all seven:
# wav wma mp3 ogg flac opus m4a)
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
hours="${2:-6}"
shift $(( $# > 2 ? 2 : $# ))
formats=("$@")
[ "${#formats[@]}" -gt 0 ] || formats=(wav wma mp3 ogg flac opus m4a)
tool="$build/bin/kelvanto-batch"
work=$(mktemp -d "${KV_BENCH_TMP:-/tmp}/kelvanto-long.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME"

minutes=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 60 }')
ffmpeg -v error -nostdin -f lavfi -i "aevalsrc=0.25*sgn(sin(2*PI*t))|0.2*sgn(sin(2*PI*1.5*t)):s=96000:d=60" \
    -c:a flac -sample_fmt s32 -bits_per_raw_sample 24 "$work/minute.flac"
# Encoded again rather than copied: copied FLAC frames would repeat their frame numbers.
ffmpeg -v error -nostdin -stream_loop $((minutes - 1)) -i "$work/minute.flac" -c:a flac \
    -sample_fmt s32 -bits_per_raw_sample 24 "$work/long.flac"
src_seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/long.flac")
echo "source: $(ffprobe -v error -show_entries stream=sample_rate,bits_per_raw_sample,channels \
    -of csv=p=0 "$work/long.flac") ${src_seconds} s, $(du -h "$work/long.flac" | cut -f1) on disk"

status=0
for f in "${formats[@]}"; do
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f "%e %M" -o "$work/t" "$tool" --convert --format "$f" --out "$work/out" \
        "$work/long.flac" >/dev/null 2>"$work/err" || { status=1; cat "$work/err" >&2; }
    out="$work/out/long.$f"
    read -r secs peak <"$work/t"
    length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out" 2>/dev/null || echo "?")
    extra=""
    if [ "$f" = wav ]; then
        extra=" header $(head -c 4 "$out")"
        [ "$(head -c 4 "$out")" = RF64 ] || status=1
    fi
    printf "%s: %8.1f s, our peak memory %6.1f MB, output %s, %s s long%s\n" "$f" "$secs" \
        "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$(du -h "$out" | cut -f1)" "$length" "$extra"
    awk -v k="$peak" 'BEGIN { exit !(k < 100 * 1024) }' || status=1
done
exit $status
