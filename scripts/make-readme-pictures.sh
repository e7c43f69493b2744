#!/usr/bin/env bash
# Makes the README's pictures in docs/ from a headless run (scripts/run-headless.sh
# on a private Xvfb): the running saver, the preview in a host window and the
# configuration dialog; and the saver on an output of a private headless sway.
# Each is small enough for a README (well under 100 KB).
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

# `Veltrane.scr /s` in a Wayland session: a headless sway with one 1280 x 720
# output and no bar. sway refuses to run as root, so as root it runs as "nobody",
# from copies of the programs in a folder that user can reach.
wayland_shot() {
  local run=() dir cfg sock
  dir=$(mktemp -d /tmp/veltrane-pictures-XXXXXX)
  mkdir "$dir/run" "$dir/bin"
  cp "$BIN/Veltrane.scr" "$BIN/Veltrane.dll" "$dir/bin/"
  chmod 755 "$dir/bin"
  cfg=$dir/sway.conf
  printf 'xwayland disable\noutput HEADLESS-1 mode 1280x720 position 0 0 bg #336699 solid_color\n' >"$cfg"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$dir"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  chmod 700 "$dir" "$dir/run"
  local env=(env -i PATH=/usr/bin:/bin HOME="$dir" XDG_RUNTIME_DIR="$dir/run")
  "${env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=1 \
    "${run[@]}" sway -c "$cfg" >"$dir/sway.log" 2>&1 &
  local sway=$!
  for _ in $(seq 100); do
    sock=$(find "$dir/run" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n1)
    [ -n "$sock" ] && break
    sleep 0.1
  done
  [ -n "$sock" ] || { echo "headless sway did not start:" >&2; tail -5 "$dir/sway.log" >&2; kill "$sway"; return 1; }
  env+=(WAYLAND_DISPLAY="$sock")
  "${env[@]}" "${run[@]}" "$dir/bin/Veltrane.scr" /s &
  local saver=$!
  sleep 4
  "${env[@]}" "${run[@]}" grim -o HEADLESS-1 "$dir/wayland.png"
  cp "$dir/wayland.png" "$SHOTS/wayland.png"
  "${env[@]}" "${run[@]}" wtype -P Escape -s 300 -p Escape
  local code=0
  wait "$saver" || code=$?
  echo "Veltrane.scr /s on sway ended with code $code"
  kill "$sway"
  wait "$sway" 2>/dev/null || true
  rm -rf "$dir"
}
wayland_shot
[ -s "$SHOTS/wayland.png" ] || { echo "the sway run made no picture" >&2; exit 1; }

mkdir -p docs
# A few seconds in, when the field has spread over the screen.
convert "$SHOTS/saver-2.png" -resize 480x -strip -quality 82 docs/saver.jpg
# The host window with the still embedded in it, as the headless run cropped it.
convert "$SHOTS/preview.png" -strip -quality 85 docs/preview.jpg
# The dialog alone: the black screen around it trimmed off, a black margin kept.
convert "$SHOTS/dialog.png" -fuzz 1% -trim +repage -bordercolor black -border 8 \
  -resize '480x>' -strip -quality 88 docs/dialog.jpg

# The sway output, 1280 x 720, the field drawn at 1024 x 768 and scaled to it.
convert "$SHOTS/wayland.png" -resize 480x -strip -quality 82 docs/wayland.jpg

for picture in docs/saver.jpg docs/preview.jpg docs/dialog.jpg docs/wayland.jpg; do
  size=$(stat -c %s "$picture")
  echo "$picture: $(identify -format '%wx%h' "$picture"), $((size / 1024)) KB"
  [ "$size" -lt 100000 ] || { echo "$picture is too large for the README" >&2; exit 1; }
done
