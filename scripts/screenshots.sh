#!/usr/bin/env bash
# Starts Tessaly on a virtual X display with a fixture home folder and saves a
# PNG of every screen into the given folder (default: screenshots/), for review.
# Not a test: it asserts nothing.
#   scripts/screenshots.sh [OUT_DIR]      (TESSALY_BUILD_DIR picks the build, default build)
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=$(realpath -m "${1:-screenshots}")
BUILD_DIR=${TESSALY_BUILD_DIR:-build}
if [ ! -x "$BUILD_DIR/app/tessaly" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_BENCH=OFF
    cmake --build "$BUILD_DIR" --target tessaly tessaly_resources
fi

FIXTURE=$(mktemp -d)
trap 'rm -rf "$FIXTURE"' EXIT
. scripts/fixture-home.sh
make_fixture "$FIXTURE"

mkdir -p "$OUT"
TESSALY_HOME="$FIXTURE/home" TESSALY_ROOT="$FIXTURE/root" HOME="$FIXTURE/home" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$BUILD_DIR/app/tessaly" --screenshot-dir "$OUT"
echo "screenshots in $OUT"
