#!/usr/bin/env bash
# Sets up the machine, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, builds everything once optimised (what the
# optimiser warns about is an error too), runs each fuzz target briefly, then the
# whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

BUILD_DIR=${TESSALY_TEST_BUILD_DIR:-build-asan}
JOBS=$(nproc)

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
cmake --build "$BUILD_DIR" -j "$JOBS"

# The optimised build (Release, as the benchmarks use): built, not run again.
if [ "${TESSALY_SKIP_RELEASE_BUILD:-0}" != 1 ]; then
  RELEASE_DIR=${TESSALY_RELEASE_BUILD_DIR:-build-release}
  cmake -S . -B "$RELEASE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build "$RELEASE_DIR" -j "$JOBS"
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# The fuzz targets first, so that the test summary closes the output.
bash scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-30}"

ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
