#!/usr/bin/env bash
# Installs what is missing, builds everything (tests and benchmarks too), and runs
# every test (unit tests and the tests that start their own private Xvfb or
# headless compositor). Exits non-zero on any failure, a compiler warning included.
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${VELTRANE_BUILD_DIR:-build}
. ./scripts/install-meanwhile.sh
./scripts/deps.sh run pictures test-build
# The programs the tests start (compositors, saver hosts, package checks) are
# not needed to build, so they install while the build runs.
install_meanwhile "$BUILD/install-test.log" test
./scripts/build.sh
installed_meanwhile
# Every compile keeps its warnings beside its object (cmake/keep-warnings.sh), so
# this sees the warnings of objects an earlier ./run.sh compiled as well.
mapfile -t warned < <(find "$BUILD" -name '*.warnings' -size +0 | sort)
if [ ${#warned[@]} -gt 0 ]; then
  cat "${warned[@]}" >&2
  echo "error: the build has compiler warnings (${#warned[@]} objects); fix them first." >&2
  exit 1
fi
cd "$BUILD"
# Tests that need X bring their own Xvfb; never let one reach the user's display.
unset DISPLAY WAYLAND_DISPLAY VELTRANE_BACKEND
# One test more than there are cores: a quarter of the tests' time is spent
# waiting on their sessions (a compositor starting, an idle time-out passing).
exec ctest --output-on-failure -j"$(($(nproc) + 1))" --timeout 300
