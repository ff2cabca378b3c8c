#!/bin/bash
# Builds the file-playback fuzzer with clang, libFuzzer and the address
# sanitizer, in build-fuzz beside the sources, and prints how to run it.
set -e
SRC=$(cd "$(dirname "$0")/../.." && pwd)
B=${1:-$SRC/build-fuzz}
FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer -g -O1"
cmake -S "$SRC" -B "$B" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_C_FLAGS="$FLAGS" -DVORIX_BENCH=OFF > /dev/null
cmake --build "$B" -j3 --target mg
clang++ -std=c++20 -fsanitize=address,fuzzer -g -O1 -I"$SRC" "$SRC/tools/fuzz/FfDemuxFuzz.cpp" -o "$B/ff_demux_fuzz" \
  "$B/platform/mg/libmg.a" "$B/platform/win/libwin.a" "$B/platform/rtl/librtl.a" \
  $(pkg-config --libs libavformat libavcodec libswscale libavutil alsa libpng fontconfig freetype2) -lpthread
echo "run: $B/ff_demux_fuzz -max_total_time=120 -timeout=10 <corpus folder>"
