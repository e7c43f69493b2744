#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit tests and the tests
# that start their own private Xvfb). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${VELTRANE_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
cd "$BUILD"
# Tests that need X bring their own Xvfb; never let one reach the user's display.
unset DISPLAY WAYLAND_DISPLAY VELTRANE_BACKEND
exec ctest --output-on-failure -j"$(nproc)" --timeout 300
