#!/usr/bin/env bash
# Compares the CPU time of the component's re-encoding (a recording
# compressed after recording) with the ffmpeg command line doing the same
# job: a 10 s 640x480 capture file (uncompressed YUY2 in AVI, as a camera's
# native stream is recorded) compressed to MPEG-4 Part 2 in AVI with the
# same settings (200 kbit/s, a key frame every 12 frames, no B-frames,
# bilinear scaling to 4:2:0), video only.
#
#   tools/reencode-bench.sh [build-dir] [runs]
#
# Ours: the Google Benchmark VcReencodeBench, CPU time of the whole process
# (every thread) during the job, and /usr/bin/time on the whole benchmark
# process (its start-up, device lists and set-up included). ffmpeg: user +
# system seconds of the whole process from /usr/bin/time, with its default
# threads and with one thread (our compressor encodes on one). Medians of
# the runs; the ratios are ours / ffmpeg.
set -euo pipefail

build=${1:-build}
runs=${2:-5}
bench="$build/capture/capture_bench_VcReencodeBench"
[ -x "$bench" ] || { echo "no $bench: build with -DVORIX_BENCH=ON first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }

tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
work=$(mktemp -d "$tmp/vorix-reencode-XXXXXX")
trap 'rm -rf "$work"' EXIT

clip="$work/clip.avi"
ffmpeg -v error -f lavfi -i testsrc2=size=640x480:rate=25 -t 10 -c:v rawvideo -pix_fmt yuyv422 "$clip"

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

ours_job=()
ours_proc=()
theirs=()
single=()
for ((i = 0; i < runs; ++i)); do
  json=$(VORIX_REENCODE_CLIP="$clip" VORIX_REENCODE_OUT="$work/ours.avi" /usr/bin/time -f "%U %S" -o "$work/t" \
           "$bench" --benchmark_format=json 2>/dev/null)
  ours_job+=("$(awk -F': ' '/"cpu_time"/ {gsub(/,/, "", $2); print $2 / 1000; exit}' <<<"$json")")
  ours_proc+=("$(awk '{print $1 + $2}' "$work/t")")
  /usr/bin/time -f "%U %S" -o "$work/t" ffmpeg -v error -y -i "$clip" -an -c:v mpeg4 -b:v 200k -g 12 -bf 0 \
    -sws_flags bilinear -pix_fmt yuv420p "$work/theirs.avi"
  theirs+=("$(awk '{print $1 + $2}' "$work/t")")
  /usr/bin/time -f "%U %S" -o "$work/t" ffmpeg -v error -y -threads 1 -i "$clip" -an -c:v mpeg4 -b:v 200k -g 12 \
    -bf 0 -sws_flags bilinear -pix_fmt yuv420p -threads 1 "$work/single.avi"
  single+=("$(awk '{print $1 + $2}' "$work/t")")
done

probe() { ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$1"; }
echo "ours:   $(probe "$work/ours.avi"), $(stat -c %s "$work/ours.avi") bytes"
echo "ffmpeg: $(probe "$work/theirs.avi"), $(stat -c %s "$work/theirs.avi") bytes"

job=$(printf '%s\n' "${ours_job[@]}" | median)
proc=$(printf '%s\n' "${ours_proc[@]}" | median)
ff=$(printf '%s\n' "${theirs[@]}" | median)
ff1=$(printf '%s\n' "${single[@]}" | median)
printf 'CPU seconds (median of %d): ours job %.3f, ours whole process %.3f, ffmpeg %.3f, ffmpeg -threads 1 %.3f\n' \
  "$runs" "$job" "$proc" "$ff" "$ff1"
awk -v a="$job" -v b="$proc" -v c="$ff" -v d="$ff1" 'BEGIN {
  printf "ratio ours/ffmpeg:           job %.2fx, whole process %.2fx\n", a / c, b / c
  printf "ratio ours/ffmpeg -threads 1: job %.2fx, whole process %.2fx\n", a / d, b / d
}'
