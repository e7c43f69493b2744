#!/usr/bin/env bash
# Makes the README's pictures in docs/ from a headless run (scripts/run-headless.sh
# on a private Xvfb): the running saver, the preview in a host window and the
# configuration dialog, each small enough for a README (well under 100 KB).
# Usage: scripts/make-readme-pictures.sh [bin folder, default build/bin]
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=$(realpath "${1:-build/bin}")
[ -x "$BIN/Veltrane.scr" ] && [ -x "$BIN/Veltrane.dll" ] || {
  echo "build both programs first: cmake --build build --target veltrane_saver veltrane_renderer" >&2
  exit 1
}
SHOTS=$(mktemp -d)
trap 'rm -rf "$SHOTS"' EXIT
(unset DISPLAY WAYLAND_DISPLAY; VELTRANE_OUT=$SHOTS ./scripts/run-headless.sh "$BIN")
for shot in saver-2 preview dialog; do
  [ -s "$SHOTS/$shot.png" ] || { echo "the headless run made no $shot.png" >&2; exit 1; }
done

mkdir -p docs
# A few seconds in, when the field has spread over the screen.
convert "$SHOTS/saver-2.png" -resize 480x -strip -quality 82 docs/saver.jpg
# The host window with the still embedded in it, as the headless run cropped it.
convert "$SHOTS/preview.png" -strip -quality 85 docs/preview.jpg
# The dialog alone: the black screen around it trimmed off, a black margin kept.
convert "$SHOTS/dialog.png" -fuzz 1% -trim +repage -bordercolor black -border 8 \
  -resize '480x>' -strip -quality 88 docs/dialog.jpg

for picture in docs/saver.jpg docs/preview.jpg docs/dialog.jpg; do
  size=$(stat -c %s "$picture")
  echo "$picture: $(identify -format '%wx%h' "$picture"), $((size / 1024)) KB"
  [ "$size" -lt 100000 ] || { echo "$picture is too large for the README" >&2; exit 1; }
done
