#!/usr/bin/env bash
# FLAC, Opus and M4A conversion speed: kelvanto-batch against the ffmpeg command line with the
# same encoder, the same settings and (for Opus) the same resampler, on the same 10-minute
# 44.1 kHz 16-bit stereo FLAC, in the same run; for FLAC also against the flac program at the
# same level. The runs alternate; median of 5 each (KV_BENCH_RUNS=n for n), elapsed and CPU
# time, the ratios (aim: at most 1.05) and our peak memory.
# Usage: bench/formats_bench.sh [build-dir]
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"

src="$work/long.flac"
music_flac "$src"

# Ours and the references of one format; the reference commands mirror what the format's
# encoder setup asks of FFmpeg (src/formats/*Format.cpp) and the writer's resampler.
ours_flac=("$tool" --convert --format flac --set sliderFLACLevel=5 --out "$work/o0" "$src")
ref_flac=(ffmpeg -v error -nostdin -y -i "$src" -c:a flac -compression_level 5
    "$work/o1/long.flac")
flac_flac=(flac -s -f -5 -o "$work/o2/long.flac" "$src")
ours_opus=("$tool" --convert --format opus --set sliderOpusBitrate=128 --out "$work/o0" "$src")
# 48 kHz float through soxr at precision 28, libopus VBR, compression 10, "audio".
ref_opus=(ffmpeg -v error -nostdin -y -i "$src" -af aresample=resampler=soxr:precision=28
    -ar 48000 -sample_fmt flt -c:a libopus -b:a 128k -vbr on -compression_level 10
    -application audio "$work/o1/long.opus")
ours_m4a=("$tool" --convert --format m4a --set sliderM4ABitrate=256 --out "$work/o0" "$src")
ref_m4a=(ffmpeg -v error -nostdin -y -i "$src" -c:a aac -profile:a aac_low -b:a 256k
    -movflags +faststart "$work/o1/long.m4a")

echo "10-minute 44.1 kHz 16-bit stereo FLAC, median of $runs, runs alternating"
echo "(ours = kelvanto-batch --convert --format F; ffmpeg = ffmpeg -c:a ENCODER, same settings;"
echo " flac-5 = flac -5)"
status=0
for f in flac opus m4a; do
    declare -n ours="ours_$f" ref="ref_$f"
    : >"$work/ours"; : >"$work/ref"; : >"$work/flac"
    for _ in $(seq "$runs"); do
        timed "$work/o0" "${ours[@]}" >>"$work/ours"
        timed "$work/o1" "${ref[@]}" >>"$work/ref"
        [ "$f" != flac ] || timed "$work/o2" "${flac_flac[@]}" >>"$work/flac"
    done
    unset -n ours ref
    ow=$(col 1 "$work/ours"); oc=$(col 2 "$work/ours")
    rw=$(col 1 "$work/ref"); rc=$(col 2 "$work/ref")
    # Same encoder, settings and resampler: the audio packets should be the very same bytes.
    packets() { ffmpeg -v error -nostdin -i "$1" -map 0:a -c copy -f md5 - 2>/dev/null; }
    same=different; [ "$(packets "$work/o0/long.$f")" != "$(packets "$work/o1/long.$f")" ] || same=same
    size=$(stat -c %s "$work/o0/long.$f")
    bitrate=$(ffprobe -v error -show_entries format=bit_rate -of csv=p=0 "$work/o0/long.$f")
    rm -rf "$work/o0"; mkdir -p "$work/o0"
    declare -n ours="ours_$f"
    /usr/bin/time -f "%M" -o "$work/peak" "${ours[@]}" >/dev/null 2>&1
    unset -n ours
    printf "%-4s wall: ours %7.3f s  ffmpeg %7.3f s  ratio %s   cpu: ours %7.3f s  ffmpeg %7.3f s  ratio %s\n" \
        "$f" "$ow" "$rw" "$(ratio "$ow" "$rw")" "$oc" "$rc" "$(ratio "$oc" "$rc")"
    if [ "$f" = flac ]; then
        fw=$(col 1 "$work/flac"); fc=$(col 2 "$work/flac")
        printf "%-4s wall: ours %7.3f s  flac-5 %7.3f s  ratio %s   cpu: ours %7.3f s  flac-5 %7.3f s  ratio %s\n" \
            "$f" "$ow" "$fw" "$(ratio "$ow" "$fw")" "$oc" "$fc" "$(ratio "$oc" "$fc")"
        awk -v a="$ow" -v b="$fw" 'BEGIN { exit !(a <= 1.05 * b) }' || status=1
    fi
    printf "%-4s our output %d bytes, %s bit/s, audio packets %s as ffmpeg's, our peak memory %d KiB\n" \
        "$f" "$size" "$bitrate" "$same" "$(tail -1 "$work/peak")"
    awk -v a="$ow" -v b="$rw" 'BEGIN { exit !(a <= 1.05 * b) }' || status=1
done
[ "$status" -eq 0 ] || echo "a ratio is above 1.05"
exit $status
