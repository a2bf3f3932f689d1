#!/bin/sh
# Malware-scan benchmark: the same corpus and the same signatures (body
# signatures at fixed offsets and SHA-256 hashes, from one list) given to
# `tessaly-cli security scan --signatures` and to `clamscan -d`, with 1,000 and
# with 100,000 signatures; checks that both find the same files and prints the
# times. clamav is installed from Debian's packages when missing (this script
# only needs it).
#
# Usage: bench/security_bench.sh [BUILD_DIR] [FILES]
set -eu

build=${1:-build-release}
files=${2:-20000}
cli=$(realpath "$build/cli/tessaly-cli")
corpus_tool=$(realpath "$build/bench/security_corpus")
if [ ! -x "$cli" ] || [ ! -x "$corpus_tool" ]; then
    echo "build tessaly-cli and security_corpus in $build first (CMAKE_BUILD_TYPE=Release)" >&2
    exit 1
fi
if ! command -v clamscan >/dev/null 2>&1 || ! command -v jq >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y clamav jq >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/home"
export TESSALY_HOME="$work/home"
now() { date +%s.%N; }

for signatures in 1000 100000; do
    set_dir="$work/s$signatures"
    mkdir -p "$set_dir"
    "$corpus_tool" "$set_dir" "$files" "$signatures" >/dev/null
    cat "$set_dir"/corpus/*/* >/dev/null # warm the cache once

    start=$(now)
    "$cli" security scan "$set_dir/corpus" --signatures "$set_dir/sigs.ndb" \
        --signatures "$set_dir/sigs.hsb" --json >"$set_dir/ours.json"
    t_ours=$(echo "$start $(now)" | awk '{ printf "%.3f", $2 - $1 }')

    start=$(now)
    clamscan --no-summary -i -r -d "$set_dir/sigs.ndb" -d "$set_dir/sigs.hsb" \
        "$set_dir/corpus" >"$set_dir/clam.out" 2>"$set_dir/clam.err" || true
    t_clam=$(echo "$start $(now)" | awk '{ printf "%.3f", $2 - $1 }')

    jq -r '.findings[].path' "$set_dir/ours.json" | sort >"$set_dir/ours.list"
    sed -n 's/: .* FOUND$//p' "$set_dir/clam.out" | sort >"$set_dir/clam.list"
    sort "$set_dir/expected.txt" >"$set_dir/expected.list"
    agree="same"
    cmp -s "$set_dir/ours.list" "$set_dir/clam.list" || agree="$(comm -3 "$set_dir/ours.list" "$set_dir/clam.list" | wc -l) differ"
    cmp -s "$set_dir/ours.list" "$set_dir/expected.list" || agree="$agree; not the expected files"
    echo "$signatures signatures, $files files: tessaly-cli ${t_ours}s, clamscan ${t_clam}s," \
        "findings $(wc -l <"$set_dir/ours.list") ($agree)"
    awk -v ours="$t_ours" -v theirs="$t_clam" \
        'BEGIN { printf "  tessaly-cli takes %.2fx the time of clamscan\n", ours / theirs }'
done
