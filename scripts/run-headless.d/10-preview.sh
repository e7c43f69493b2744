# Sourced by run-headless.sh: the preview as a display settings page would host it.
# A small host window stands in for the page's preview window; Veltrane.scr /p
# embeds the still picture in it. The picture goes to out/preview.png.
if [ -x "$BIN/Veltrane.scr" ] && command -v xmessage >/dev/null 2>&1; then
  xmessage -geometry 304x224+360+272 -title "Preview host" " " >/dev/null 2>&1 &
  HOST_PID=$!
  HOST=""
  for _ in $(seq 50); do
    HOST=$(xdotool search --name '^Preview host$' 2>/dev/null | head -1 || true)
    [ -n "$HOST" ] && break
    sleep 0.1
  done
  if [ -n "$HOST" ]; then
    "$BIN/Veltrane.scr" /p "$HOST" &
    PREVIEW_PID=$!
    sleep 1.5
    import -window root -crop 344x264+340+252 "$OUT/preview.png" && echo "  saved $OUT/preview.png"
    # Closing the host ends the preview.
    kill "$HOST_PID" 2>/dev/null || true
    for _ in $(seq 30); do kill -0 "$PREVIEW_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$PREVIEW_PID" 2>/dev/null; then
      echo "the preview did not end with its host" >&2
      kill "$PREVIEW_PID" 2>/dev/null || true
    else
      echo "preview ended with its host"
    fi
  else
    echo "no preview host window; preview picture skipped" >&2
    kill "$HOST_PID" 2>/dev/null || true
  fi
fi
