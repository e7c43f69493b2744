#!/usr/bin/env bash
# Installs what is missing, builds the two programs, and runs the screen saver.
# On a desktop it runs full screen (Escape ends it). With no display it runs on a
# private Xvfb and saves what it showed as pictures in out/.
# Only what building and running needs is installed and built here; ./test.sh
# adds the tests' packages and builds the rest in the same build/.
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${VELTRANE_BUILD_DIR:-build}
. ./scripts/install-meanwhile.sh
./scripts/deps.sh run
display=
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  display=yes
else
  # The virtual X server and the picture tools install while the build runs.
  install_meanwhile "$BUILD/install-pictures.log" pictures
fi
./scripts/build.sh veltrane_programs
installed_meanwhile
BIN="$PWD/$BUILD/bin"

if [ -x "$BIN/Veltrane.scr" ]; then
  SAVER=("$BIN/Veltrane.scr" /s)
else
  SAVER=("$BIN/Veltrane.dll")
fi

if [ -n "$display" ]; then
  echo "Running ${SAVER[*]} on $DISPLAY; press Escape to end it."
  exec "${SAVER[@]}"
fi

exec ./scripts/run-headless.sh "$BIN"
