#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what the saver hosts and
# Debian expect to find there; then runs the installed shell on a private Xvfb
# and checks that it starts the installed renderer beside it and that everything
# it started ends.
# Usage: install_layout.sh <build folder>
set -euo pipefail
BUILD=$1
TMP=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-install.XXXXXX")
DEST=$TMP/dest
LIBEXEC=$DEST/usr/libexec

fail() { echo "FAIL: $*" >&2; exit 1; }
alive() { kill -0 "$1" 2>/dev/null; }
# Polls (every 0.1 s, at most $1 seconds) until the command succeeds.
wait_until() {
  local tries=$(($1 * 10)); shift
  for ((i = 0; i < tries; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}
cleanup() {
  local pid
  for pid in ${RENDERER_PID:-} ${SAVER_PID:-} ${XVFB_PID:-}; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$TMP"
}
trap cleanup EXIT

DESTDIR=$DEST cmake --install "$BUILD" --prefix /usr >/dev/null

# Exactly these files with these modes: no test, benchmark or asset tool.
expected="-rw-r--r-- usr/lib/systemd/user/veltrane-idle.service
-rw-r--r-- usr/share/applications/screensavers/veltrane.desktop
-rw-r--r-- usr/share/doc/veltrane/changelog.Debian.gz
-rw-r--r-- usr/share/doc/veltrane/copyright
-rw-r--r-- usr/share/lintian/overrides/veltrane
-rw-r--r-- usr/share/man/man1/veltrane-idle.1.gz
-rw-r--r-- usr/share/man/man6/veltrane.6.gz
-rw-r--r-- usr/share/xscreensaver/config/veltrane.xml
-rwxr-xr-x usr/bin/veltrane-idle
-rwxr-xr-x usr/libexec/veltrane/Veltrane.dll
-rwxr-xr-x usr/libexec/veltrane/Veltrane.scr
lrwxrwxrwx usr/libexec/xscreensaver/veltrane -> ../veltrane/Veltrane.dll"
actual=$(cd "$DEST" && find . ! -type d -printf '%M %P>%l\n' | sed 's/>$//; s/>/ -> /' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  fail "installed files differ from the layout (< expected, > installed)"
fi

[ "$(readlink -f "$LIBEXEC/xscreensaver/veltrane")" = "$(readlink -f "$LIBEXEC/veltrane/Veltrane.dll")" ] ||
  fail "the host-mode link does not resolve to the renderer"
for program in "$LIBEXEC/veltrane/Veltrane.dll" "$LIBEXEC/veltrane/Veltrane.scr" "$DEST/usr/bin/veltrane-idle"; do
  head -c 4 "$program" | grep -q 'ELF' || fail "$program is not an ELF program"
done

desktop=$DEST/usr/share/applications/screensavers/veltrane.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
if grep -E ': (error|warning):' <<<"$report" >&2; then fail "the theme .desktop is not clean"; fi
# The hosts start the theme by these paths, which must be the installed link.
for key in Exec TryExec; do
  path=$(sed -n "s/^$key=\([^ ]*\).*/\1/p" "$desktop")
  [ "$path" = /usr/libexec/xscreensaver/veltrane ] && [ -x "$DEST$path" ] || fail "$key=$path is not the installed link"
done

xml=$DEST/usr/share/xscreensaver/config/veltrane.xml
xmllint --noout "$xml" || fail "veltrane.xml is not well-formed"
grep -q '<screensaver name="veltrane"' "$xml" || fail "veltrane.xml does not name the program veltrane"

for gz in "$DEST/usr/share/man/man6/veltrane.6.gz" "$DEST/usr/share/man/man1/veltrane-idle.1.gz" \
          "$DEST/usr/share/doc/veltrane/changelog.Debian.gz"; do
  gzip -t "$gz" || fail "$gz is not gzip"
done
for page in "$DEST/usr/share/man/man6/veltrane.6.gz" "$DEST/usr/share/man/man1/veltrane-idle.1.gz"; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports on $(basename "$page"): $warnings"
done

# The user unit: what systemd itself says of it, and that it runs the installed launcher.
unit=$DEST/usr/lib/systemd/user/veltrane-idle.service
# (Checked as a system unit, which needs no user manager; the launcher lies in
# DESTDIR, not yet in /usr/bin.)
report=$(systemd-analyze verify --man=no "$unit" 2>&1 | grep -v 'Command /usr/bin/veltrane-idle is not executable' || true)
[ -z "$report" ] || fail "systemd-analyze verify: $report"
grep -qx 'ExecStart=/usr/bin/veltrane-idle' "$unit" && grep -qx 'WantedBy=graphical-session.target' "$unit" &&
  grep -qx 'PartOf=graphical-session.target' "$unit" || fail "the unit does not run the launcher with the graphical session"
# The installed launcher refuses a bad option with one line.
out=$("$DEST/usr/bin/veltrane-idle" --timeout 0 2>&1) && fail "a zero time-out was accepted"
[ "$(wc -l <<<"$out")" = 1 ] && [[ $out == "veltrane-idle: "* ]] || fail "bad option said: $out"

# The installed shell finds its renderer in its own folder. Children get SIGKILL
# if this script dies; the renderer ends when its X server goes away.
mkfifo "$TMP/displayfd"
exec {fd}<>"$TMP/displayfd"
setpriv --pdeathsig KILL Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
read -r -t 60 -u "$fd" NUM || fail "Xvfb did not start"
export DISPLAY=":$NUM" HOME="$TMP" XDG_RUNTIME_DIR="$TMP"
unset WAYLAND_DISPLAY

setpriv --pdeathsig KILL "$LIBEXEC/veltrane/Veltrane.scr" /s &
SAVER_PID=$!
has_window() { xdotool search --name '^Lumora_VC$' >/dev/null 2>&1; }
wait_until 60 has_window || fail "no Lumora_VC window appeared"
RENDERER_PID=$(pgrep -P "$SAVER_PID" | head -1)
[ -n "$RENDERER_PID" ] || fail "the shell has no child"
[ "$(readlink "/proc/$RENDERER_PID/exe")" = "$(readlink -f "$LIBEXEC/veltrane/Veltrane.dll")" ] ||
  fail "the shell started $(readlink "/proc/$RENDERER_PID/exe"), not the installed renderer"

# Escape held until the renderer's window is gone, however slow its frames are.
xdotool keydown Escape
no_window() { ! has_window; }
wait_until 60 no_window || fail "the renderer did not end on Escape"
xdotool keyup Escape
shell_gone() { ! alive "$SAVER_PID"; }
renderer_gone() { ! alive "$RENDERER_PID"; }
wait_until 30 shell_gone || fail "the shell did not end after the renderer's window went"
wait "$SAVER_PID" || fail "the shell ended with code $?"
wait_until 30 renderer_gone || fail "the renderer is still running"

# The hosts' entry: the link, started as XScreenSaver starts it, draws in the
# window named (in hex) by $XSCREENSAVER_WINDOW, here the root window, and ends
# with 0 on SIGTERM.
ROOT_ID=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
XSCREENSAVER_WINDOW=$ROOT_ID setpriv --pdeathsig KILL "$LIBEXEC/xscreensaver/veltrane" -root &
HOST_PID=$!
RENDERER_PID=$HOST_PID
root_lit() { alive "$HOST_PID" &&
  [ "$(import -window root -colorspace gray -format '%[fx:mean>0.01]' info: 2>/dev/null)" = 1 ]; }
wait_until 60 root_lit || fail "the host-mode entry drew nothing in \$XSCREENSAVER_WINDOW"
kill -TERM "$HOST_PID"
code=0; wait "$HOST_PID" || code=$?
[ "$code" = 0 ] || fail "the host-mode entry ended with code $code on SIGTERM"
# The installed launcher starts the installed shell (found from its own folder)
# once the display has been idle for its time-out, and SIGTERM ends both.
setpriv --pdeathsig KILL "$DEST/usr/bin/veltrane-idle" --timeout 1 >/dev/null &
IDLE_PID=$!
RENDERER_PID=$IDLE_PID
idle_saver() { SAVER_PID=$(pgrep -P "$IDLE_PID" | head -1) && [ -n "$SAVER_PID" ]; }
wait_until 60 idle_saver || fail "the installed launcher started no saver"
[ "$(readlink "/proc/$SAVER_PID/exe")" = "$(readlink -f "$LIBEXEC/veltrane/Veltrane.scr")" ] ||
  fail "the launcher started $(readlink "/proc/$SAVER_PID/exe"), not the installed shell"
kill -TERM "$IDLE_PID"
code=0; wait "$IDLE_PID" || code=$?
[ "$code" = 0 ] || fail "the launcher ended with code $code on SIGTERM"
saver_gone() { ! alive "$SAVER_PID"; }
wait_until 30 saver_gone || fail "the launcher's saver outlived it"

echo "installed layout checked; the installed launcher started the installed shell; the installed shell ran its installed renderer, the host-mode entry drew in its host's window, and all ended"
