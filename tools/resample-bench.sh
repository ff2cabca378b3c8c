#!/usr/bin/env bash
# Times our resampling of a 6000x4000 picture to 1224x816 (Lanczos-3 and
# bilinear) against `vips resize` on the same picture, on this machine, in
# one run, and prints the ratios.
#
#   tools/resample-bench.sh [build-dir] [runs]
#
# Ours: the Google Benchmark ResampleBench (median real time of the
# repetitions, the resampling alone, on one thread as the routines run on
# their caller's thread). vips: median wall time of whole `vips resize`
# processes reading the picture in vips' own format (mapped, no decoding),
# once limited to one thread and once with its default thread pool. The
# vips figures include its start-up and its reading of the picture; the
# last line shows that share (a whole `vips avg` of the same picture).
set -euo pipefail

build=${1:-build}
runs=${2:-5}
bench="$build/imaging/core/imaging_core_bench_ResampleBench"
[ -x "$bench" ] || { echo "no $bench: build with -DVORIX_BENCH=ON first" >&2; exit 1; }
command -v vips >/dev/null || { echo "vips is missing (libvips-tools)" >&2; exit 1; }

# Memory-backed when the machine has it, so that reading the picture costs
# vips as little as it can.
tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
work=$(mktemp -d "$tmp/vorix-resample-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A smooth, colourful picture: three Perlin noise fields as red, green, blue.
for seed in 1 2 3; do
  vips perlin "$work/n$seed.v" 6000 4000 --cell-size 96 --seed $seed
  vips linear "$work/n$seed.v" "$work/b$seed.v" 127 128 --uchar
done
vips bandjoin "$work/b1.v $work/b2.v $work/b3.v" "$work/pic.v"
vips copy "$work/pic.v" "$work/pic.ppm"

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# Milliseconds of one whole command.
wall_ms() {
  local s e
  s=$(date +%s%N)
  "$@" >/dev/null 2>&1
  e=$(date +%s%N)
  echo $(( (e - s) / 1000000 ))
}

vips_ms() {  # kernel concurrency
  local kernel=$1 threads=$2 i
  for ((i = 0; i < runs + 1; i++)); do
    if [ "$threads" = default ]; then
      wall_ms vips resize "$work/pic.v" "$work/out.v" 0.204 --kernel "$kernel"
    else
      VIPS_CONCURRENCY=$threads wall_ms vips resize "$work/pic.v" "$work/out.v" 0.204 --kernel "$kernel"
    fi
  done | tail -n "$runs" | median
}

size=$(vipsheader "$work/pic.v")
vips resize "$work/pic.v" "$work/out.v" 0.204 --kernel lanczos3
out=$(vipsheader "$work/out.v")

ours=$(VORIX_RESAMPLE_PICTURE="$work/pic.ppm" "$bench" --benchmark_repetitions="$runs" \
         --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)
ours_ms() { echo "$ours" | awk -F, -v n="\"BM_Resample$1/real_time_median\"" '$1 == n {printf "%.1f", $3}'; }

echo "picture: $size -> $out; $(nproc) processors; $runs runs each (medians)"
printf '%-10s %12s %16s %16s %10s %10s\n' filter "ours ms" "vips 1 thr ms" "vips dflt ms" "ratio 1" "ratio dflt"
for pair in "Lanczos3 lanczos3" "Bilinear linear"; do
  set -- $pair
  o=$(ours_ms "$1")
  v1=$(vips_ms "$2" 1)
  vd=$(vips_ms "$2" default)
  printf '%-10s %12s %16s %16s %10s %10s\n' "$1" "$o" "$v1" "$vd" \
    "$(awk -v a="$o" -v b="$v1" 'BEGIN {printf "%.2f", a / b}')" \
    "$(awk -v a="$o" -v b="$vd" 'BEGIN {printf "%.2f", a / b}')"
done
read_ms=$(for ((i = 0; i < runs + 1; i++)); do VIPS_CONCURRENCY=1 wall_ms vips avg "$work/pic.v"; done | tail -n "$runs" | median)
echo "vips start-up and reading alone (vips avg, 1 thread): $read_ms ms"
