#!/usr/bin/env bash
# Waits for the packages ./test.sh installs in the background (see
# scripts/install-meanwhile.sh) and fails when that install failed. With no log
# named, in $VELTRANE_INSTALL_LOG or as the argument, there is nothing to wait
# for. ctest runs it before the tests that need those packages.
set -euo pipefail
log=${1:-${VELTRANE_INSTALL_LOG:-}}
[ -n "$log" ] || exit 0
[ -e "$log.lock" ] || { echo "error: no install was started with the log $log" >&2; exit 1; }
flock -s "$log.lock" true
rc=$(cat "$log.status" 2>/dev/null || echo "no status")
if [ "$rc" != 0 ]; then
  cat "$log" >&2
  echo "error: the background install failed ($rc); apt's output is above and in $log" >&2
  exit 1
fi
echo "$(head -n 1 "$log")"
