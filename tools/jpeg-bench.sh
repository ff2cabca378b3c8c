#!/usr/bin/env bash
# Times our JPEG decoding of a 4000x3000 picture (full size and 1/8) and our
# encoding of a 1920x1080 picture at quality 90 against libjpeg-turbo's own
# djpeg and cjpeg on the same files, on this machine, in one run, and prints
# the ratios.
#
#   tools/jpeg-bench.sh [build-dir] [runs]
#
# Ours: the Google Benchmark JpegBench (median real time of the repetitions;
# the file is decoded from memory into an image buffer, the picture encoded
# into memory; one thread). djpeg and cjpeg: median wall time of whole
# processes reading the file from memory-backed storage and writing to
# /dev/null. Their figures include process start-up; the last line shows
# that share (djpeg -scale 1/8 of a 16x16 file).
set -euo pipefail

build=${1:-build}
runs=${2:-7}
bench="$build/imaging/core/imaging_core_bench_JpegBench"
[ -x "$bench" ] || { echo "no $bench: build with -DVORIX_BENCH=ON first" >&2; exit 1; }
for tool in djpeg cjpeg vips; do
  command -v $tool >/dev/null || { echo "$tool is missing (libjpeg-turbo-progs, libvips-tools)" >&2; exit 1; }
done

tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
work=$(mktemp -d "$tmp/vorix-jpeg-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Smooth, colourful pictures (Perlin noise per channel), the 4000x3000 one
# encoded by cjpeg at quality 90 so that both decoders read the same file.
picture() {  # width height name
  for seed in 1 2 3; do
    vips perlin "$work/n$seed.v" "$1" "$2" --cell-size 96 --seed $seed
    vips linear "$work/n$seed.v" "$work/b$seed.v" 127 128 --uchar
  done
  vips bandjoin "$work/b1.v $work/b2.v $work/b3.v" "$work/$3.v"
  vips copy "$work/$3.v" "$work/$3.ppm"
}
picture 4000 3000 big
picture 1920 1080 hd
cjpeg -quality 90 -outfile "$work/big.jpg" "$work/big.ppm"
vips crop "$work/big.v" "$work/tiny.ppm" 0 0 16 16
cjpeg -quality 90 -outfile "$work/tiny.jpg" "$work/tiny.ppm"

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# Milliseconds of one whole command, by the shell's own clock (no helper
# process inside the measured span).
wall_ms() {
  local TIMEFORMAT=%3R t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN {printf "%.2f\n", t * 1000}'
}
tool_ms() {
  local i
  for ((i = 0; i < runs + 1; i++)); do wall_ms "$@"; done | tail -n "$runs" | median
}

ours=$(VORIX_JPEG_PICTURE="$work/big.jpg" VORIX_JPEG_ENCODE_PICTURE="$work/hd.ppm" "$bench" \
         --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)
ours_ms() { echo "$ours" | awk -F, -v n="\"$1/real_time_median\"" '$1 == n {printf "%.2f", $3}'; }

echo "decode: $(vipsheader "$work/big.v") as $(stat -c %s "$work/big.jpg") bytes; encode: $(vipsheader "$work/hd.v") at quality 90"
echo "$(nproc) processors; $runs runs each (medians)"
# The tools' whole-process times include starting the process and, for
# cjpeg, reading the PPM; the second ratio takes the start-up (a whole
# djpeg of a 16x16 file) off the tool's time.
startup=$(tool_ms djpeg -scale 1/8 -outfile /dev/null "$work/tiny.jpg")
printf '%-12s %9s %9s %7s %16s\n' case "ours ms" "tool ms" ratio "ratio -startup"
row() {  # name ours-ms tool-ms
  printf '%-12s %9s %9s %7s %16s\n' "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN {printf "%.2f", a / b}')" \
    "$(awk -v a="$2" -v b="$3" -v s="$startup" 'BEGIN {printf "%.2f", (b > s) ? a / (b - s) : 0}')"
}
row "decode 1/1" "$(ours_ms BM_JpegDecode/1)" "$(tool_ms djpeg -dct int -outfile /dev/null "$work/big.jpg")"
row "decode 1/8" "$(ours_ms BM_JpegDecode/4)" "$(tool_ms djpeg -dct int -scale 1/8 -outfile /dev/null "$work/big.jpg")"
row "encode q90" "$(ours_ms BM_JpegEncode)" "$(tool_ms cjpeg -quality 90 -outfile /dev/null "$work/hd.ppm")"
echo "tool start-up alone (djpeg of a 16x16 file): $startup ms"
