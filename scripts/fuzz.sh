#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each one for
# SECONDS (default 30) over a scratch copy of its seed corpus
# (tests/fuzz/corpus/<name> feeds build-fuzz/tests/fuzz/fuzz_<name>).
# Exits non-zero when a target crashes, leaks, times out or runs out of memory;
# the input that did it is kept in build-fuzz/artifacts/<name>/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_FUZZ=ON >/dev/null
ninja -C "$build" -j "${FUZZ_BUILD_JOBS:-2}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tessaly-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failed=0
for seeds in "$root"/tests/fuzz/corpus/*/; do
  name="$(basename "$seeds")"
  target="$build/tests/fuzz/fuzz_$name"
  if [ ! -x "$target" ]; then
    echo "fuzz: no target fuzz_$name for corpus $name" >&2
    failed=1
    continue
  fi
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  cp -R "$seeds". "$work/$name/corpus/"
  echo "fuzz: running fuzz_$name for ${seconds}s"
  if ! "$target" "$work/$name/corpus" \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$work/$name/artifacts/" \
      >"$work/$name/log" 2>&1; then
    failed=1
    mkdir -p "$build/artifacts/$name"
    cp -R "$work/$name/artifacts/." "$build/artifacts/$name/"
    tail -n 60 "$work/$name/log" >&2
    echo "fuzz: fuzz_$name FAILED; inputs kept in $build/artifacts/$name" >&2
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/$name/log" || true
    echo "fuzz: fuzz_$name passed"
  fi
done
exit "$failed"
