#!/bin/bash
# Times `vistrel-cli snapshot` against `find` printing the same facts, on one tree with a warm
# cache, several rounds in turn. Usage: bench/scan_vs_find.sh BUILD_DIR [ENTRIES] [ROUNDS]
# [SNAPSHOT OPTIONS...]; with snapshot options (such as --exclude PATTERN), each round also
# times the scan with them, so that their cost shows beside the plain scan.
set -euo pipefail
build=${1:?build directory}
entries=${2:-200000}
rounds=${3:-5}
shift $(($# < 3 ? $# : 3))
tree=${TMPDIR:-/tmp}/vistrel-scan-tree-$entries
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
[ -d "$tree" ] || "$build/bench/vistrel-bench" gen-tree "$entries" "$tree"
find -H "$tree" > /dev/null # warm the cache
for ((r = 1; r <= rounds; r++)); do
    /usr/bin/time -f "find     wall %e s  user %U s  sys %S s" \
        find -H "$tree" -printf '%y %s %T@ %m %p\n' > /dev/null
    /usr/bin/time -f "vistrel  wall %e s  user %U s  sys %S s  peak %M KB" \
        "$build/src/vistrel-cli" snapshot "$tree" -o "$out/tree.dir"
    if (($# > 0)); then
        /usr/bin/time -f "options  wall %e s  user %U s  sys %S s  peak %M KB" \
            "$build/src/vistrel-cli" snapshot "$tree" -o "$out/options.dir" "$@"
    fi
done
if (($# > 0)); then
    echo "entries: $(($(wc -l < "$out/tree.dir") - 1)) without the options," \
        "$(($(wc -l < "$out/options.dir") - 1)) with them"
fi
