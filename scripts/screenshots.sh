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
mkdir -p "$FIXTURE/home/.config/Tessaly" "$FIXTURE/root/proc"

# A later run: System Cleanup and Old Files overdue, memory low, last clean 15 days ago.
python3 - "$FIXTURE/home/.config/Tessaly/defaults.plist" <<'PY'
import datetime, plistlib, sys
now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
days = lambda n: now - datetime.timedelta(days=n)
with open(sys.argv[1], "wb") as f:
    plistlib.dump({
        "FirstRun": 1, "firstRunKey": True, "Play_Sound": True,
        "totleCleanKey": 1834500000,
        "lastCleanDate": days(15), "lastCleanDateKey": days(1),
        "systemLastCleanDateKey": days(20), "duplicateLastCleanDateKey": days(3),
        "oldLastCleanDateKey": days(40), "aliasLastCleanDateKey": days(2),
        "browserLastCleanDateKey": days(1),
    }, f, fmt=plistlib.FMT_BINARY)
PY
cat > "$FIXTURE/root/proc/meminfo" <<'MEM'
MemTotal:       16000000 kB
MemFree:         2400000 kB
MemAvailable:    6000000 kB
Active:          6000000 kB
Inactive:        4000000 kB
MEM

mkdir -p "$OUT"
TESSALY_HOME="$FIXTURE/home" TESSALY_ROOT="$FIXTURE/root" HOME="$FIXTURE/home" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$BUILD_DIR/app/tessaly" --screenshot-dir "$OUT"
echo "screenshots in $OUT"
