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
./scripts/build.sh veltrane_tests
BUILD=$(cd "$BUILD" && pwd)
# The benchmarks and asset tools build at the lowest priority while the tests
# run, on the processor time the tests leave while they wait on their sessions.
nice -n 19 cmake --build "$BUILD" -j"$(nproc)" >"$BUILD/build-rest.log" 2>&1 &
rest_pid=$!
trap 'kill "$rest_pid" 2>/dev/null || true' EXIT

cd "$BUILD"
# Tests that need X bring their own Xvfb; never let one reach the user's display.
unset DISPLAY WAYLAND_DISPLAY VELTRANE_BACKEND
# One test more than there are cores: a quarter of the tests' time is spent
# waiting on their sessions (a compositor starting, an idle time-out passing).
run_tests() { ctest --output-on-failure -j"$(($(nproc) + 1))" --timeout 300 "$@"; }
failed=0
if installing; then
  run_tests -LE 'wayland|install' || failed=1
  if installed_meanwhile; then
    echo "The Wayland, GNOME and package tests:"
    run_tests -L 'wayland|install' || failed=1
  else
    failed=1
  fi
else
  run_tests || failed=1
fi

rest=0
wait "$rest_pid" || rest=$?
trap - EXIT
if [ "$rest" -ne 0 ]; then
  cat "$BUILD/build-rest.log" >&2
  echo "error: building the benchmarks and tools failed (output above, also in $BUILD/build-rest.log)" >&2
  exit 1
fi
# Every compile keeps its warnings beside its object (cmake/keep-warnings.sh), so
# this sees the warnings of objects an earlier ./run.sh compiled as well.
mapfile -t warned < <(find "$BUILD" -name '*.warnings' -size +0 | sort)
if [ ${#warned[@]} -gt 0 ]; then
  cat "${warned[@]}" >&2
  echo "error: the build has compiler warnings (${#warned[@]} objects); fix them first." >&2
  exit 1
fi
exit "$failed"
