#!/usr/bin/env bash
# Drives Tessaly by keyboard alone on a virtual X display (xdotool for the keys,
# the accessibility tree only read, to wait for each step): System Cleanup and
# the Duplicates Finder through scan, detailed results and clean on a fixture
# home, with a screenshot of each step. It reports controls without names and
# steps that never came, and ends with the smallest window at a scale factor of
# 2 on a 1600 x 1000 screen. Not a test: look at the screenshots.
#   scripts/keyboard-tour.sh [OUT_DIR]   (default screenshots/keyboard; TESSALY_BUILD_DIR picks the build)
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=$(realpath -m "${1:-screenshots/keyboard}")
BUILD_DIR=$(realpath -m "${TESSALY_BUILD_DIR:-build}")
if [ ! -x "$BUILD_DIR/app/tessaly" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_BENCH=OFF
    cmake --build "$BUILD_DIR" --target tessaly tessaly_resources
fi
for tool in xvfb-run xdotool xwd xwdtopnm pnmtopng dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" > /dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 2; }
done

FIXTURE=$(mktemp -d)
trap 'rm -rf "$FIXTURE"' EXIT
. scripts/fixture-home.sh
make_fixture "$FIXTURE"
mkdir -p "$OUT"

export TESSALY_HOME="$FIXTURE/home" TESSALY_ROOT="$FIXTURE/root" HOME="$FIXTURE/home"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export OUT BUILD_DIR
status=0
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    bus=$!
    sleep 1
    /usr/bin/python3 scripts/keyboard_tour.py "$OUT" "$BUILD_DIR/app/tessaly"
    code=$?
    kill $bus 2> /dev/null
    exit $code' || status=$?

# The smallest window at twice the scale (the size the window allows, see
# AppDelegate::kMinimumWidth and kMinimumHeight), on a 1600 x 1000 screen.
width=$(grep -oP 'kMinimumWidth = \K[0-9]+' app/AppDelegate.h)
height=$(grep -oP 'kMinimumHeight = \K[0-9]+' app/AppDelegate.h)
rm -rf "$FIXTURE" && mkdir -p "$FIXTURE" && make_fixture "$FIXTURE"
export SMALL_W=$((width * 2)) SMALL_H=$((height * 2))
xvfb-run -a -s "-screen 0 1600x1000x24" env QT_SCALE_FACTOR=2 bash -c '
    "$BUILD_DIR/app/tessaly" &
    app=$!
    win=$(xdotool search --sync --name Vellmo | head -1)
    xdotool windowsize --sync "$win" "$SMALL_W" "$SMALL_H"
    xdotool windowmove --sync "$win" 0 0
    xdotool windowfocus --sync "$win"
    sleep 2
    xdotool key ctrl+5
    sleep 1
    xwd -root -silent | xwdtopnm 2> /dev/null | pnmtopng > "$OUT/10-smallest-at-scale-2.png"
    echo "$OUT/10-smallest-at-scale-2.png: window ${SMALL_W}x${SMALL_H} on 1600x1000"
    kill $app' || status=$?
echo "screenshots in $OUT"
exit $status
