#!/usr/bin/env bash
# Builds the Debian package with cpack into a scratch folder, checks its name
# and control fields, and runs lintian on it: any error fails.
# Usage: deb_lintian.sh <build folder> <version>
set -euo pipefail
BUILD=$1
VERSION=$2
TMP=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-deb.XXXXXX")
trap 'rm -rf "$TMP"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$TMP" >"$TMP/cpack.log" 2>&1) || { cat "$TMP/cpack.log" >&2; fail "cpack failed"; }
deb=$TMP/veltrane_${VERSION}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$TMP" >&2; fail "no $(basename "$deb")"; }

field() { dpkg-deb -f "$deb" "$1"; }
# dpkg-shlibdeps found the libraries both programs link.
for lib in libc6 libx11-6 libqt6widgets6 libxrandr2 libwayland-client0 libegl1 libxkbcommon0 libsystemd0 libxss1; do
  grep -q "\b$lib\b" <<<"$(field Depends)" || fail "Depends lacks $lib: $(field Depends)"
done
[ "$(field Recommends)" = "libgl1-mesa-dri, fonts-dejavu-core, fonts-ipafont-gothic, xdg-utils" ] ||
  fail "Recommends: $(field Recommends)"
[ "$(field Section)" = x11 ] && [ "$(field Priority)" = optional ] || fail "Section/Priority"
# Stripped programs.
dpkg-deb -x "$deb" "$TMP/root"
for program in "$TMP"/root/usr/libexec/veltrane/* "$TMP"/root/usr/bin/veltrane-idle; do
  if readelf -S "$program" | grep -q '\.debug_\|\.symtab'; then fail "$(basename "$program") is not stripped"; fi
done

# The idle launcher and its user unit, which the package does not enable.
[ -f "$TMP/root/usr/lib/systemd/user/veltrane-idle.service" ] || fail "the package lacks the user unit"
dpkg-deb -I "$deb" | grep -q 'postinst' && fail "the package runs a maintainer script (it must not enable the unit)"
report=$(lintian --pedantic "$deb" 2>&1 | grep -v '^running with root privileges' || true)
echo "$report"
if grep -q '^E: ' <<<"$report"; then fail "lintian reports errors"; fi
echo "$(basename "$deb"): no lintian errors"
