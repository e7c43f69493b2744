#!/usr/bin/env bash
# Runs the saver on a private Xvfb and saves pictures of what it showed in out/
# (or in $VELTRANE_OUT when set).
set -euo pipefail
BIN=$1
OUT=${VELTRANE_OUT:-$PWD/out}
mkdir -p "$OUT"
TMP=$(mktemp -d)
cleanup() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT

mkfifo "$TMP/displayfd"
exec {fd}<>"$TMP/displayfd"
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
read -r -t 20 -u "$fd" NUM || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$NUM" HOME="$TMP" XDG_RUNTIME_DIR="$TMP"
unset WAYLAND_DISPLAY
echo "No display: running on a private Xvfb ($DISPLAY); pictures go to $OUT/"

shot() { import -window root "$OUT/$1.png" && echo "  saved $OUT/$1.png"; }

if [ -x "$BIN/Veltrane.scr" ]; then
  "$BIN/Veltrane.scr" /s & PID=$!
else
  "$BIN/Veltrane.dll" & PID=$!
fi
sleep 2; shot saver-1
sleep 2; shot saver-2
sleep 2; shot saver-3
# Hold Escape for a few frames so the renderer's per-frame check sees it.
xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
for _ in $(seq 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$PID" 2>/dev/null; then
  echo "the saver did not end on Escape" >&2; kill "$PID"; exit 1
fi
wait "$PID" && echo "saver ended with code 0" || echo "saver ended with code $?"

# More scenes (preview, configuration dialog) are added here as they are built.
for extra in scripts/run-headless.d/*.sh; do
  [ -e "$extra" ] && . "$extra"
done
exit 0
