#!/usr/bin/env bash
# Configures build/ (or $VELTRANE_BUILD_DIR) and builds the given targets (all
# when none is given). ./run.sh and ./test.sh both build through here with the
# very same configuration, so ./test.sh compiles only what ./run.sh left out.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${VELTRANE_BUILD_DIR:-build}
# A build folder keeps the generator it was first configured with (an older
# ./run.sh made build/ with Unix Makefiles); a new one gets Ninja.
generator=()
[ -f "$BUILD/CMakeCache.txt" ] || generator=(-G Ninja)
# Warnings never fail this build (./test.sh reads them from the tree afterwards);
# a build/ configured by an older ./test.sh had -Werror on.
cmake -S . -B "$BUILD" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTRANE_WARNINGS_AS_ERRORS=OFF >/dev/null
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build "$BUILD" -j"$(nproc)" "${targets[@]}"
