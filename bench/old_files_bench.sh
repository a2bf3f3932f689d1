#!/bin/sh
# Old Files Finder benchmark: generates a large tree in a temporary folder and
# times `tessaly-cli old scan` beside `find DIR -type f -size +4999999c -atime +30`
# on it, then checks that both found the same files.
#
# Usage: bench/old_files_bench.sh [BUILD_DIR] [FILES] [RUNS]
#   BUILD_DIR  a Release build with tessaly-cli and old_files_corpus (build-release)
#   FILES      small files in the tree (300000)
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
tree="$work/tree"
mkdir -p "$tree" "$work/home" "$work/root"
export TESSALY_HOME="$work/home" TESSALY_ROOT="$work/root"
echo "tree: $("$corpus_tool" "$tree" "$files")"


run_tessaly() { "$cli" old scan "$tree" --json; }
run_find() { find "$tree" -type f -size +4999999c -atime +30; }

run_find >/dev/null # warm the cache once
t_tessaly=$(time_best tessaly run_tessaly)
t_find=$(time_best find run_find)

jq -r '.ageClasses[].sizeClasses[].files[].path' "$work/tessaly.out" | sort >"$work/tessaly.list"
sort "$work/find.out" >"$work/find.list"
if cmp -s "$work/tessaly.list" "$work/find.list"; then
    agree="the same $(wc -l <"$work/find.list") files"
else
    agree="$(comm -3 "$work/tessaly.list" "$work/find.list" | wc -l) files differ"
fi
printf '%-12s %9s\n' tool seconds
printf '%-12s %9s\n' tessaly-cli "$t_tessaly" find "$t_find"
echo "answers: $agree"
awk -v ours="$t_tessaly" -v theirs="$t_find" \
    'BEGIN { printf "tessaly-cli takes %.2fx the time of find\n", ours / theirs }'
