# Sourced by the conversion benchmarks: the tool, a private home and work folder that go at
# exit, and the timing helpers. Before sourcing, $1 may name the build folder.
build="${1:-$(dirname "${BASH_SOURCE[1]}")/../build}"
tool="$build/bin/kelvanto-batch"
runs="${KV_BENCH_RUNS:-5}" # runs of each command; bench/perf_report.sh asks for fewer
work=$(mktemp -d /tmp/kelvanto-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# the median of column $1 of file $2
col() { awk -v c="$1" '{ print $c }' "$2" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# "elapsed cpu" seconds of one run (cpu = user + system), its output folder $1 emptied first
timed() {
    local out="$1"; shift
    rm -rf "$out"; mkdir -p "$out"
    /usr/bin/time -f "%e %U %S" -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ print $1, $2 + $3 }' "$work/t"
}

# A 10-minute 44.1 kHz stereo FLAC of music-like content at $1: two tones over soft noise, so
# the encoders have real work to do.
music_flac() {
    ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
        -f lavfi -i "sine=frequency=659:sample_rate=44100:duration=600" \
        -f lavfi -i "anoisesrc=r=44100:a=0.05:d=600" \
        -filter_complex "[0][1][2]amix=inputs=3,pan=stereo|c0=c0|c1=c0" -c:a flac "$1"
}
