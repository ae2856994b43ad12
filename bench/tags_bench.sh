#!/usr/bin/env bash
# What copying the source's tags costs: kelvanto-batch --convert with the tags against
# --no-tags, in the same run (alternating), median of 5. Two loads: 20 tagged 30 s FLAC files
# with a 1000x1000 JPEG cover to MP3 (the tags of many small outputs), and one tagged 10-minute
# FLAC to WAV (a 100 MB output copied once for its tags).
# Usage: bench/tags_bench.sh [build-dir]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
tool="$build/bin/kelvanto-batch"
work=$(mktemp -d /tmp/kelvanto-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME" "$work/many"

ffmpeg -v error -nostdin -f lavfi -i "testsrc=size=1000x1000" -frames:v 1 -q:v 2 "$work/cover.jpg"
tagged() { # seconds output
    ffmpeg -v error -nostdin -f lavfi -i "sine=f=440:d=$1:sample_rate=44100" -i "$work/cover.jpg" \
        -map 0:a -map 1:v -c:v copy -disposition:v attached_pic -ac 2 \
        -metadata title="A title" -metadata artist="An artist" -metadata album="An album" \
        -metadata album_artist="Various" -metadata track=3/12 -metadata disc=1/2 \
        -metadata date=2019 -metadata genre=Ambient -metadata comment="A comment" -c:a flac "$2"
}
tagged 30 "$work/many/01.flac"
for i in $(seq -w 2 20); do cp "$work/many/01.flac" "$work/many/$i.flac"; done
tagged 600 "$work/long.flac"
echo "cover: $(stat -c %s "$work/cover.jpg") bytes"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timed() { # wall seconds of one run into an emptied folder
    rm -rf "$work/out"
    /usr/bin/time -f "%e" -o "$work/time" "$tool" --convert --out "$work/out" "$@" >/dev/null 2>&1
    cat "$work/time"
}
report() { # name, then the tool's arguments
    local name="$1" with=() without=()
    shift
    for _ in 1 2 3 4 5; do
        with+=("$(timed "$@")")
        without+=("$(timed --no-tags "$@")")
    done
    printf "%-34s with tags %6.2f s   --no-tags %6.2f s\n" "$name" \
        "$(printf "%s\n" "${with[@]}" | median)" "$(printf "%s\n" "${without[@]}" | median)"
}
report "20 x 30 s FLAC -> MP3" --format mp3 "$work/many"
report "10 min FLAC -> WAV" --format wav "$work/long.flac"
