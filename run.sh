#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it from the build
# folder, where skin/, Lang/, AlarmSound/ and help/ lie beside it.
#   ./run.sh
# Without a display it says so and starts the program on a virtual one
# (Xvfb); VORIX_SIM_DEVICES=1 gives the simulated capture devices only, =0
# the real ones only (by default the simulated ones stand in when no camera
# or TV card is present).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh

build=build
cmake -S . -B "$build" -G Ninja -DVORIX_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target vorix
program="$PWD/$build/bin/vorix"

cd "$build/bin"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi
echo "No display is available (DISPLAY is ${DISPLAY:-not set}); starting vorix on a virtual X display (Xvfb)."
echo "It runs there unseen; a picture of that screen is saved as $PWD/vorix-screen.png after a few seconds."
echo "Stop it with Ctrl+C."
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" & pid=$!
  sleep 4
  import -window root "$2" 2>/dev/null && echo "Saved the virtual screen to $2."
  wait $pid' run.sh "$program" "$PWD/vorix-screen.png"
