#!/usr/bin/env bash
# Sets up the machine, builds Tessaly and starts the application. Arguments are
# passed on to the application.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

BUILD_DIR=${TESSALY_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Tessaly on a virtual X display (xvfb-run)." >&2
    exec xvfb-run -a "$BUILD_DIR/app/tessaly" "$@"
fi
exec "$BUILD_DIR/app/tessaly" "$@"
