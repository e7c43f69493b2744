# Sourced by scripts/run-headless.sh: the configuration dialog, a couple of
# seconds into its logo animation, then a close request (SIGTERM), which the
# dialog handles like its window's close command.
echo "Configuration dialog: Veltrane.scr /c"
"$BIN/Veltrane.scr" /c & DIALOG_PID=$!
sleep 2.5
if kill -0 "$DIALOG_PID" 2>/dev/null; then
  shot dialog || true
  kill -TERM "$DIALOG_PID" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$DIALOG_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$DIALOG_PID" 2>/dev/null; then
    echo "the dialog did not end on a close request" >&2
    kill -KILL "$DIALOG_PID" 2>/dev/null || true
  fi
  wait "$DIALOG_PID" && echo "dialog ended with code 0" || echo "dialog ended with code $?"
else
  wait "$DIALOG_PID" && code=0 || code=$?
  echo "the dialog ended before its picture was taken (code $code)" >&2
fi
