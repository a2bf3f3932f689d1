#!/bin/sh
# Linux-layout System Cleanup benchmark: generates a large ~/.cache in a
# temporary home and times `tessaly-cli system scan --module user-cache` on it
# beside `du -s` of the same folder, then compares the two totals.
#
# Usage: bench/linux_cache_bench.sh [BUILD_DIR] [FILES] [RUNS]
#   BUILD_DIR  a Release build with tessaly-cli and old_files_corpus (build-release)
#   FILES      small files in the cache (300000)
#   RUNS       timed runs per tool, the best one counts (3)
# jq is installed from Debian's packages when missing; only this script needs it.
set -eu
. "$(dirname "$0")/bench_lib.sh"

build=${1:-build-release}
files=${2:-300000}
runs=${3:-3}
cli=$(realpath "$build/cli/tessaly-cli")
corpus_tool=$(realpath "$build/bench/old_files_corpus")
if [ ! -x "$cli" ] || [ ! -x "$corpus_tool" ]; then
    echo "build tessaly-cli and old_files_corpus in $build first (CMAKE_BUILD_TYPE=Release)" >&2
    exit 1
fi
bench_need jq

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cache="$work/home/.cache"
mkdir -p "$cache" "$work/root"
export TESSALY_HOME="$work/home" TESSALY_ROOT="$work/root" TESSALY_LAYOUT=linux
unset XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_CONFIG_HOME
# The cache of a busy desktop: a few applications' folders, one of them huge.
for app in thumbnails pip mozilla fontconfig; do
    mkdir -p "$cache/$app"
done
echo "cache: $("$corpus_tool" "$cache/mozilla" "$files")"
"$corpus_tool" "$cache/thumbnails" $((files / 10)) >/dev/null


run_tessaly() { "$cli" system scan --module user-cache --json; }
run_du() { du -s -B1 "$cache"; }

run_du >/dev/null # warm the cache once
t_tessaly=$(time_best tessaly run_tessaly)
t_du=$(time_best du run_du)

ours=$(jq '[.modules[] | select(.name == "User Cache") | .size] | add' "$work/tessaly.out")
theirs=$(awk '{ print $1 }' "$work/du.out")
printf '%-12s %9s %16s\n' tool seconds bytes
printf '%-12s %9s %16s\n' tessaly-cli "$t_tessaly" "$ours" du "$t_du" "$theirs"
echo "(the totals differ by the large files, which are sparse: tessaly-cli counts each file's"
echo " length rounded up to whole blocks, du the blocks allocated, and the folders themselves)"
awk -v ours="$t_tessaly" -v theirs="$t_du" \
    'BEGIN { printf "tessaly-cli takes %.2fx the time of du -s\n", ours / theirs }'
