#!/usr/bin/env bash
# What FLAC, Opus and M4A outputs of kelvanto-batch keep, read back with independent readers
# only (ffmpeg/ffprobe, flac, opusinfo):
# - FLAC is lossless: the decoded output's MD5 equals the decoded source's (same sample
#   format), for a 16-bit stereo, a 24-bit stereo and a 16-bit 5.1 source, and `flac -t`
#   checks the MD5 stored in the output; rate and bit depth kept;
# - lengths: decoded Opus equals the source's length at 48 kHz within 1 ms; decoded AAC (the
#   edit list applied) equals it at the output's rate within 1,024 samples.
# The sources are not whole seconds long, so padding at the end would show.
# Usage: bench/formats_check.sh [build-dir]; exit status 1 when an aim fails.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
tool="$build/bin/kelvanto-batch"
work=$(mktemp -d /tmp/kelvanto-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME" "$work/src"

gen() { ffmpeg -v error -nostdin "$@"; }
# Tones over noise: 16-bit stereo 44.1 kHz, 24-bit stereo 96 kHz, 16-bit 5.1 48 kHz.
gen -f lavfi -i "anoisesrc=d=37.3:c=pink:r=44100:a=0.2" -f lavfi -i "sine=f=440:d=37.3:r=44100" \
    -filter_complex "[0][1]amerge=inputs=2" -c:a flac -sample_fmt s16 "$work/src/s16.flac"
gen -f lavfi -i "anoisesrc=d=21.7:c=white:r=96000:a=0.1" -f lavfi -i "sine=f=997:d=21.7:r=96000" \
    -filter_complex "[0][1]amerge=inputs=2" -c:a flac -sample_fmt s32 -bits_per_raw_sample 24 \
    "$work/src/s24.flac"
# Each speaker its own tone, so a swapped pair would change the MD5.
speakers=$(for c in 0 1 2 3 4 5; do printf "0.3*sin(2*PI*%d*t)+0.1*(random(%d)-0.5)|" $((220 + 110 * c)) "$c"; done)
gen -f lavfi -i "aevalsrc=${speakers%|}:c=5.1:s=48000:d=13.1" -c:a flac -sample_fmt s16 \
    "$work/src/surround.flac"

probe() { ffprobe -v error -select_streams a:0 -show_entries "$2" -of csv=p=0 "$1"; }
md5() { ffmpeg -v error -nostdin -i "$1" -map 0:a:0 -c:a "$2" -f md5 - | sed 's/^MD5=//'; }
# Sample frames ffmpeg decodes (pre-skip, end trimming and edit list applied).
frames() {
    local ch
    ch=$(probe "$1" stream=channels)
    echo $(($(ffmpeg -v error -nostdin -i "$1" -map 0:a:0 -f s16le - | wc -c) / (2 * ch)))
}
convert() {
    rm -rf "$work/out"; mkdir -p "$work/out"
    "$tool" --convert --format "$1" --out "$work/out" "$2" >/dev/null 2>"$work/err" ||
        { cat "$work/err" >&2; return 1; }
}

status=0
fail() { echo "  FAILED: $*"; status=1; }

echo "FLAC (level 5): decoded MD5 of the output against the source's"
for s in s16 s24 surround; do
    src="$work/src/$s.flac"
    convert flac "$src"
    out="$work/out/$s.flac"
    bits=$(probe "$src" stream=bits_per_raw_sample)
    fmt=pcm_s16le; [ "$bits" -le 16 ] || fmt=pcm_s24le
    a=$(md5 "$src" "$fmt"); b=$(md5 "$out" "$fmt")
    flac -t -s "$out" 2>"$work/flac-t" && tested="flac -t passes" || tested="flac -t FAILS"
    printf "%-9s %s -> %s, source %s output %s, %s\n" "$s" \
        "$(probe "$src" stream=sample_rate,channels,bits_per_raw_sample | tr , /)" \
        "$(probe "$out" stream=sample_rate,channels,bits_per_raw_sample | tr , /)" "$a" "$b" "$tested"
    [ "$a" = "$b" ] || fail "$s: the decoded audio differs"
    [ "$tested" = "flac -t passes" ] || fail "$s: $(cat "$work/flac-t")"
    [ "$(probe "$src" stream=sample_rate,bits_per_raw_sample)" = \
        "$(probe "$out" stream=sample_rate,bits_per_raw_sample)" ] || fail "$s: rate or depth changed"
done

echo "Lengths: decoded output against the source, at the output's rate"
for s in s16 s24 surround; do
    src="$work/src/$s.flac"
    n=$(frames "$src"); rate=$(probe "$src" stream=sample_rate)
    for f in opus m4a; do
        convert "$f" "$src"
        out="$work/out/$s.$f"
        orate=$(probe "$out" stream=sample_rate)
        [ "$f" = opus ] && orate=48000 # Opus always decodes at 48 kHz
        got=$(frames "$out")
        want=$(awk -v n="$n" -v a="$rate" -v b="$orate" 'BEGIN { printf "%.0f", n * b / a }')
        diff=$((got - want))
        ms=$(awk -v d="$diff" -v r="$orate" 'BEGIN { printf "%.3f", d * 1000 / r }')
        extra=""
        if [ "$f" = opus ]; then
            extra=", opusinfo: $(opusinfo "$out" | sed -n 's/.*Playback length: *//p' | head -1)"
            awk -v d="$diff" 'BEGIN { exit !(d >= -48 && d <= 48) }' || fail "$s.opus: more than 1 ms off"
        else
            awk -v d="$diff" 'BEGIN { exit !(d >= -1024 && d <= 1024) }' ||
                fail "$s.m4a: more than 1,024 samples off"
        fi
        printf "%-9s %-4s source %d at %d Hz = %d at %d Hz, decoded %d: %+d samples (%+s ms)%s\n" \
            "$s" "$f" "$n" "$rate" "$want" "$orate" "$got" "$diff" "$ms" "$extra"
    done
done
[ "$status" -eq 0 ] && echo "every aim met" || echo "an aim failed"
exit $status
