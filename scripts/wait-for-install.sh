#!/usr/bin/env bash
# Waits for a stage of the packages ./test.sh installs in the background (see
# scripts/install-meanwhile.sh) and fails when it failed.
# Usage: wait-for-install.sh NAME, with the install's log in $VELTRANE_INSTALL_LOG.
# With no log named, or no such stage started (nothing of it was missing), there
# is nothing to wait for. ctest runs it before the tests that need those packages.
set -euo pipefail
name=$1
log=${VELTRANE_INSTALL_LOG:-}
[ -n "$log" ] && [ -e "$log.$name.lock" ] || exit 0
flock -s "$log.$name.lock" true
rc=$(cat "$log.$name.status" 2>/dev/null || echo "no status")
if [ "$rc" != 0 ]; then
  cat "$log" >&2
  echo "error: the background install of $name failed ($rc); apt's output is above and in $log" >&2
  exit 1
fi
echo "$name: installed"
