# Shared by the benchmark scripts (sourced, not run).

# bench_need COMMAND[:PACKAGE]...: installs from Debian's packages the commands
# that are missing (the package is named like the command unless given).
bench_need() {
    missing=""
    for wanted in "$@"; do
        command -v "${wanted%%:*}" >/dev/null 2>&1 || missing="$missing ${wanted#*:}"
    done
    if [ -n "$missing" ]; then
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        echo "installing:$missing"
        $sudo apt-get install -y $missing >/dev/null
    fi
}

now() { date +%s.%N; }

# time_best NAME COMMAND...: runs the command $runs times (output to $work/NAME.out)
# and prints the best wall time in seconds.
time_best() {
    name=$1
    shift
    best=""
    i=0
    while [ "$i" -lt "$runs" ]; do
        start=$(now)
        "$@" >"$work/$name.out" 2>"$work/$name.err"
        end=$(now)
        t=$(echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }')
        best=$(awk -v b="$best" -v t="$t" 'BEGIN { print (b == "" || t + 0 < b + 0) ? t : b }')
        i=$((i + 1))
    done
    echo "$best"
}
