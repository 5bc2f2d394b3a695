# Sourced by the benchmark scripts: `timed NAME COMMAND...` runs a command once, its output
# thrown away, and keeps its best wall time in best[NAME] and its peak memory (KB) in
# peak[NAME]; `ratio A B` prints best[A] / best[B].
declare -A best peak
best_of_log=$(mktemp)
trap 'rm -f "$best_of_log"' EXIT

timed() {
    local name=$1
    shift
    /usr/bin/time -o "$best_of_log" -f "%e %M" "$@" > /dev/null 2>&1 || true
    read -r wall kb < <(tail -n 1 "$best_of_log")
    if [ -z "${best[$name]:-}" ] || (($(echo "$wall < ${best[$name]}" | bc))); then
        best[$name]=$wall
    fi
    peak[$name]=$kb
}

ratio() { echo "scale=2; ${best[$1]} / ${best[$2]}" | bc; }
