#!/usr/bin/env bash
# Times a thumbnail view filling itself with the thumbnails of 200
# camera-sized JPEGs (4000x3000) with the media browser's settings (80x60,
# flat cells, soft shadow, one background loader per processor) against
# vipsthumbnail making 80x60 thumbnails of the same files, on this machine,
# in one run, and prints the ratio.
#
#   tools/thumb-bench.sh [build-dir] [runs]
#
# Ours: ThumbViewBench (median wall time from the first paint until every
# cell shows its picture). vipsthumbnail: median wall time of one process
# over all 200 files (its own threads), and for reference of one process per
# processor splitting the files (xargs -P). The files live in memory-backed
# storage and are read once before timing, so both read from the page cache.
set -euo pipefail

build=${1:-build}
runs=${2:-3}
bench="$build/imaging/views/imaging_views_bench_ThumbViewBench"
[ -x "$bench" ] || { echo "no $bench: build with -DVORIX_BENCH=ON first" >&2; exit 1; }
for tool in vips vipsthumbnail cjpeg; do
  command -v $tool >/dev/null || { echo "$tool is missing (libvips-tools, libjpeg-turbo-progs)" >&2; exit 1; }
done

tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
work=$(mktemp -d "$tmp/vorix-thumbs-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/out"

# Ten distinct pictures (Perlin noise per channel with fine grain on top,
# quality 92 as cameras write), each copied to twenty names.
for n in 0 1 2 3 4 5 6 7 8 9; do
  for c in 1 2 3; do
    vips perlin "$work/n$c.v" 4000 3000 --cell-size $((64 + 16 * n)) --seed $((n * 3 + c))
    vips gaussnoise "$work/g$c.v" 4000 3000 --sigma 6
    vips linear "$work/n$c.v" "$work/s$c.v" 110 128
    vips add "$work/s$c.v" "$work/g$c.v" "$work/a$c.v"
    vips cast "$work/a$c.v" "$work/b$c.v" uchar
  done
  vips bandjoin "$work/b1.v $work/b2.v $work/b3.v" "$work/p.v"
  vips copy "$work/p.v" "$work/p.ppm"
  cjpeg -quality 92 -outfile "$work/src$n.jpg" "$work/p.ppm"
done
rm -f "$work"/*.v "$work"/*.ppm
for i in $(seq -w 0 199); do cp "$work/src$((10#$i % 10)).jpg" "$work/pictures/IMG_0$i.jpg"; done
cat "$work"/pictures/*.jpg >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
wall_ms() {
  local TIMEFORMAT=%3R t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN {printf "%.1f\n", t * 1000}'
}
runs_ms() {
  local i
  for ((i = 0; i < runs; i++)); do rm -f "$work"/out/*; wall_ms "$@"; done | median
}

ours=$("$bench" "$work/pictures" "$runs" | awk '/^thumbview/ {print $4}')
vips_one=$(runs_ms vipsthumbnail --size 80x60 -o "$work/out/%s.jpg" "$work"/pictures/*.jpg)
vips_par=$(runs_ms bash -c "ls '$work'/pictures/*.jpg | xargs -P $(nproc) -n 25 vipsthumbnail --size 80x60 -o '$work/out/%s.jpg'")

echo "200 JPEGs of 4000x3000, $(stat -c %s "$work/src0.jpg") bytes each (first); $(nproc) processors; $runs runs (medians)"
printf '%-34s %9s %7s\n' case ms "ours/it"
printf '%-34s %9s %7s\n' "thumbnail view (ours)" "$ours" "1.00"
printf '%-34s %9s %7s\n' "vipsthumbnail, one process" "$vips_one" "$(awk -v a="$ours" -v b="$vips_one" 'BEGIN {printf "%.2f", a / b}')"
printf '%-34s %9s %7s\n' "vipsthumbnail, one per processor" "$vips_par" "$(awk -v a="$ours" -v b="$vips_par" 'BEGIN {printf "%.2f", a / b}')"
