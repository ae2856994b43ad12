#!/usr/bin/env bash
# MP3 and Ogg Vorbis conversion speed: kelvanto-batch against the hand-made pipelines
# "ffmpeg -f wav - | lame ..." and "ffmpeg -f wav - | oggenc ...", with the same encoder
# arguments, on a 10-minute 44.1 kHz stereo FLAC (noise under a tone). The runs alternate;
# median of 5 each (KV_BENCH_RUNS=n for n).
# Usage: bench/mp3ogg_bench.sh [build-dir]
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"

src="$work/long.flac"
ffmpeg -v error -nostdin -f lavfi -i "anoisesrc=d=600:c=pink:a=0.3:r=44100" \
    -f lavfi -i "sine=f=440:d=600:sample_rate=44100" -filter_complex "[0][1]amerge=inputs=2" \
    -c:a flac "$src"

# "wall-seconds cpu-seconds" of one run (cpu: user + system of every process of it), its output
# folder emptied first. The processor time shows the cost on a machine that is busy otherwise.
timed() {
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f "%e %U %S" -o "$work/time" bash -c "$1" >/dev/null 2>&1
    awk '{ print $1, $2 + $3 }' "$work/time"
}

# CBR 128 "Joint Stereo" "Auto Sampling", encoder quality 5; VBR 128, quality 3.
ours_mp3() {
    "$tool" --convert --format mp3 --set optMP3CBR=True --set cmbMP3CBitrate=6 \
        --set cmbMP3StereoMode=2 --set cmbMP3Freq=0 --set SliderMP3EncoderQuality=5 \
        --out "$work/out" "$src"
}
pipe_mp3() {
    ffmpeg -v error -nostdin -i "$src" -f wav - |
        lame --cbr -b 128 -m j --resample 0 -q 4 - "$work/out/long.mp3"
}
ours_ogg() {
    "$tool" --convert --format ogg --set optOGGVBR=True --set cmbOGGVBitrate=6 \
        --set sliderOGG=3 --out "$work/out" "$src"
}
pipe_ogg() {
    ffmpeg -v error -nostdin -i "$src" -f wav - |
        oggenc -b 128 --quality 3 - -o "$work/out/long.ogg"
}

export tool src work
export -f ours_mp3 pipe_mp3 ours_ogg pipe_ogg

report() {
    local name="$1" ours=() pipe=()
    for _ in $(seq "$runs"); do
        ours+=("$(timed "ours_$name")")
        pipe+=("$(timed "pipe_$name")")
    done
    local ow oc pw pc
    ow=$(printf "%s\n" "${ours[@]}" | cut -d' ' -f1 | median)
    oc=$(printf "%s\n" "${ours[@]}" | cut -d' ' -f2 | median)
    pw=$(printf "%s\n" "${pipe[@]}" | cut -d' ' -f1 | median)
    pc=$(printf "%s\n" "${pipe[@]}" | cut -d' ' -f2 | median)
    printf "%-4s wall: ours %7.3f s  pipeline %7.3f s  ratio %5.3f   cpu: ours %7.3f s  pipeline %7.3f s  ratio %5.3f\n" \
        "$name" "$ow" "$pw" "$(awk -v a="$ow" -v b="$pw" 'BEGIN { print a / b }')" \
        "$oc" "$pc" "$(awk -v a="$oc" -v b="$pc" 'BEGIN { print a / b }')"
}

echo "10-minute FLAC, median of $runs (ours = kelvanto-batch --convert)"
report mp3
report ogg
