#!/usr/bin/env bash
# Installs what is missing, builds everything (tests and benchmarks too), and runs
# every test (unit tests and the tests that start their own private Xvfb or
# headless compositor). Exits non-zero on any failure, a compiler warning included.
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${VELTRANE_BUILD_DIR:-build}
. ./scripts/install-meanwhile.sh
./scripts/deps.sh run pictures test-build test-x11
# The headless compositors and the packaging tools are the bulk of the install
# and neither the build nor the unit and X11 tests need them: they install
# meanwhile, and the Wayland, GNOME and package tests wait for them.
install_meanwhile "$BUILD/install-test.log" test-wayland test-package
./scripts/build.sh
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
run_tests() { ctest --output-on-failure -j"$(($(nproc) + 1))" --timeout 300 "$@"; }
if ! installing; then
  run_tests
  exit
fi
failed=0
run_tests -LE 'wayland|install' || failed=1
installed_meanwhile
echo "The Wayland, GNOME and package tests:"
run_tests -L 'wayland|install' || failed=1
exit "$failed"
