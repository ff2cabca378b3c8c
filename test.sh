#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   ./test.sh               normal build in build/
#   VORIX_SANITIZE=1 ./test.sh   address + undefined-behaviour sanitizers in build-asan/
#   VORIX_TSAN=1 ./test.sh       thread sanitizer in build-tsan/
# Extra arguments go to ctest, for example: ./test.sh -L rtl
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh

build=build
flags=(-DVORIX_WERROR=ON)
if [ "${VORIX_SANITIZE:-0}" = 1 ]; then
  build=build-asan; flags+=(-DVORIX_SANITIZE=ON -DVORIX_BENCH=OFF)
elif [ "${VORIX_TSAN:-0}" = 1 ]; then
  build=build-tsan; flags+=(-DVORIX_TSAN=ON -DVORIX_BENCH=OFF)
fi

jobs=$(nproc)
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs" "$@"
