#!/bin/bash
# Builds the libFuzzer drivers of this folder with clang and the address
# sanitizer in build-fuzz beside the sources (or the folder given), and
# prints how to run them. Extra arguments name the targets to build.
#   tools/fuzz/build.sh                       every driver
#   tools/fuzz/build.sh "" uc_text_fuzz       one driver in build-fuzz
set -e
SRC=$(cd "$(dirname "$0")/../.." && pwd)
B=${1:-$SRC/build-fuzz}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ff_demux_fuzz uc_text_fuzz ini_fuzz imaging_meta_fuzz imaging_detect_fuzz imaging_icc_fuzz capture_format_fuzz capture_crossbar_fuzz)
FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer -g -O1"
cmake -S "$SRC" -B "$B" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" \
  -DVORIX_BENCH=OFF -DVORIX_FUZZ=ON > /dev/null
cmake --build "$B" -j"${FUZZ_JOBS:-3}" --target "${targets[@]}"
for t in "${targets[@]}"; do
  echo "run: $B/tools/fuzz/$t -max_total_time=600 -timeout=10 <corpus folder> [$SRC/tools/fuzz/seeds/$t]"
done
