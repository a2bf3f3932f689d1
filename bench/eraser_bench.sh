#!/bin/sh
# Eraser benchmark: erases the same set of files with `tessaly-cli erase --yes`
# and with `shred -n 0 -z -u` (one synced pass of zeros, then removal: the same
# amount of writing), each on its own fresh copy, and prints the times.
#
# Usage: bench/eraser_bench.sh [BUILD_DIR] [FILES] [MEGABYTES]
#   BUILD_DIR  a Release build with tessaly-cli (build-release)
#   FILES      how many files (20)
#   MEGABYTES  the size of each (50)
set -eu

build=${1:-build-release}
files=${2:-20}
megabytes=${3:-50}
cli=$(realpath "$build/cli/tessaly-cli")
[ -x "$cli" ] || { echo "build tessaly-cli in $build first (CMAKE_BUILD_TYPE=Release)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/home"
export TESSALY_HOME="$work/home"

make_set() {
    mkdir -p "$work/$1"
    i=0
    while [ "$i" -lt "$files" ]; do
        dd if=/dev/zero of="$work/$1/f$i" bs=1M count="$megabytes" status=none
        i=$((i + 1))
    done
    sync
}

now() { date +%s.%N; }

make_set ours
start=$(now)
"$cli" erase "$work"/ours/f* --yes >/dev/null
t_ours=$(echo "$start $(now)" | awk '{ printf "%.3f", $2 - $1 }')

make_set theirs
start=$(now)
shred -n 0 -z -u "$work"/theirs/f*
t_shred=$(echo "$start $(now)" | awk '{ printf "%.3f", $2 - $1 }')

left=$(find "$work/ours" "$work/theirs" -type f | wc -l)
echo "$files files of $megabytes MB each; files left afterwards: $left"
printf '%-12s %9s\n' tool seconds
printf '%-12s %9s\n' tessaly-cli "$t_ours" shred "$t_shred"
awk -v ours="$t_ours" -v theirs="$t_shred" \
    'BEGIN { printf "tessaly-cli takes %.2fx the time of shred\n", ours / theirs }'
