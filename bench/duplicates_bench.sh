#!/bin/sh
# Duplicate-scan benchmark: generates a corpus in a temporary folder and times
# `tessaly-cli duplicates scan` beside jdupes, fdupes and rmlint on it, then
# checks that the groups found agree for files above 10,240 bytes.
#
# Usage: bench/duplicates_bench.sh [BUILD_DIR] [SCALE] [RUNS]
#   BUILD_DIR  a Release build with tessaly-cli and duplicates_corpus (build-rel)
#   SCALE      multiplies the corpus (1: about 31,000 files, 1 GB)
#   RUNS       timed runs per tool, the best one counts (3)
# The comparison tools (and jq) are installed from Debian's packages when missing;
# they are needed by this script only.
set -eu
. "$(dirname "$0")/bench_lib.sh"

build=${1:-build-rel}
scale=${2:-1}
runs=${3:-3}
cli=$(realpath "$build/cli/tessaly-cli")
corpus_tool=$(realpath "$build/bench/duplicates_corpus")
if [ ! -x "$cli" ] || [ ! -x "$corpus_tool" ]; then
    echo "build tessaly-cli and duplicates_corpus in $build first (CMAKE_BUILD_TYPE=Release)" >&2
    exit 1
fi

bench_need jdupes fdupes rmlint jq

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
corpus="$work/corpus"
mkdir -p "$corpus" "$work/home"
export TESSALY_HOME="$work/home"
echo "corpus: $("$corpus_tool" "$corpus" "$scale")"


run_tessaly() { "$cli" duplicates scan "$corpus" --json; }
run_jdupes() { jdupes -r -q "$corpus"; }
run_fdupes() { fdupes -r -q "$corpus"; }
run_rmlint() { (cd "$work" && rmlint -T df -o fdupes:stdout "$corpus"); }

# Warm the page cache once, so that every tool reads from memory.
run_jdupes >/dev/null 2>&1 || true

t_tessaly=$(time_best tessaly run_tessaly)
t_jdupes=$(time_best jdupes run_jdupes)
t_fdupes=$(time_best fdupes run_fdupes)
t_rmlint=$(time_best rmlint run_rmlint)

# Groups as sorted lines of tab-separated sorted paths: files above 10,240 bytes,
# outside bundles (we compare bundles whole; the others list their inner files).
canon() {
    perl -e '
        local $/ = "";
        while (my $group = <STDIN>) {
            my @p = grep { length && !m{\.app/} && -f $_ && (-s $_) > 10240 } split /\n/, $group;
            print join("\t", sort @p), "\n" if @p >= 2;
        }' | sort
}
jq -r '.categories[].groups[] | ([.copies[].path] | join("\n")) + "\n"' "$work/tessaly.out" \
    | canon >"$work/tessaly.groups"
for tool in jdupes fdupes rmlint; do
    canon <"$work/$tool.out" >"$work/$tool.groups"
done
bundles=$(jq '[.categories[] | select(.name == "Package") | .groups[]] | length' "$work/tessaly.out")

echo
printf '%-8s %9s %8s %10s\n' tool seconds groups agreement
for tool in tessaly jdupes fdupes rmlint; do
    eval t=\$t_$tool
    groups=$(wc -l <"$work/$tool.groups")
    if cmp -s "$work/tessaly.groups" "$work/$tool.groups"; then
        agree=same
    else
        agree="$(comm -3 "$work/tessaly.groups" "$work/$tool.groups" | wc -l) differ"
    fi
    printf '%-8s %9s %8s %10s\n' "$tool" "$t" "$groups" "$agree"
done
echo "tessaly also found $bundles groups of identical bundles"
echo
for tool in jdupes fdupes rmlint; do
    eval t=\$t_$tool
    awk -v ours="$t_tessaly" -v theirs="$t" -v tool="$tool" \
        'BEGIN { printf "%-7s takes %.2fx the time of tessaly-cli\n", tool, theirs / ours }'
done
