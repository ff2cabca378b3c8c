#!/bin/bash
# Builds the imaging metadata fuzzer (IPTC, annotations, marker list,
# buffered reader, encoders) with clang, libFuzzer and the address
# sanitizer, in build-fuzz-imaging beside the sources, and prints how to
# run it.
set -e
SRC=$(cd "$(dirname "$0")/../.." && pwd)
B=${1:-$SRC/build-fuzz-imaging}
FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer -g -O1"
cmake -S "$SRC" -B "$B" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_C_FLAGS="$FLAGS" -DVORIX_BENCH=OFF > /dev/null
cmake --build "$B" -j3 --target imaging_core
clang++ -std=c++20 -fsanitize=address,fuzzer -g -O1 -I"$SRC" "$SRC/tools/fuzz/ImagingMetaFuzz.cpp" \
  -o "$B/imaging_meta_fuzz" \
  "$B/imaging/core/libimaging_core.a" "$B/platform/forms/libforms.a" "$B/platform/win/libwin.a" \
  "$B/platform/rtl/librtl.a" \
  $(pkg-config --libs libjpeg libpng freetype2 fontconfig x11 xext) -lpthread
echo "run: $B/imaging_meta_fuzz -max_total_time=330 -jobs=3 -workers=3 <corpus folder> $SRC/tools/fuzz/seeds-imaging"
