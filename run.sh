#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver.
# On a desktop it runs full screen (Escape ends it). With no display it runs on a
# private Xvfb and saves what it showed as pictures in out/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${VELTRANE_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
BIN="$PWD/$BUILD/bin"

if [ -x "$BIN/Veltrane.scr" ]; then
  SAVER=("$BIN/Veltrane.scr" /s)
else
  SAVER=("$BIN/Veltrane.dll")
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Running ${SAVER[*]} on $DISPLAY; press Escape to end it."
  exec "${SAVER[@]}"
fi

exec ./scripts/run-headless.sh "$BIN"
