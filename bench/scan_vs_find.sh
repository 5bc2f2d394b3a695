#!/bin/bash
# Times `vistrel-cli snapshot` against `find` printing the same facts, on one tree, several
# rounds in turn, and against `fdfind` (when installed) looking at the metadata of every entry.
# Usage: bench/scan_vs_find.sh BUILD_DIR [ENTRIES | FOLDER] [ROUNDS] [SNAPSHOT OPTIONS...]
# A number makes (once) a generated tree of that many entries; a folder (such as /usr) is
# scanned as it is. With snapshot options (such as --exclude PATTERN or --threads 1), each round
# also times the scan with them, so that their cost shows beside the plain scan.
# COLD=1 empties the page, inode and folder caches before every timed run (root only), so that
# every program reads the disk; otherwise the cache is warmed first.
# At the end: the best wall time of each program, that time over find's best, and user + system;
# then each program's wall time over find's in the same round, lowest and median, which the
# load of other programs on the machine sways less.
set -euo pipefail
build=${1:?build directory}
what=${2:-200000}
rounds=${3:-5}
shift $(($# < 3 ? $# : 3))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if [ -d "$what" ]; then
    tree=$what
else
    tree=${TMPDIR:-/tmp}/vistrel-scan-tree-$what
    [ -d "$tree" ] || "$build/bench/vistrel-bench" gen-tree "$what" "$tree"
fi
cold=${COLD:-0}
if ((cold)) && [ "$(id -u)" != 0 ]; then
    echo "COLD=1 needs root, to write /proc/sys/vm/drop_caches" >&2
    exit 1
fi
fd=$(command -v fdfind || command -v fd || true)
prepare() {
    if ((cold)); then
        sync
        echo 3 > /proc/sys/vm/drop_caches
    fi
}
# Runs a command timed; its line goes to the screen and to the program's own file of figures.
timed() {
    local name=$1
    shift
    prepare
    /usr/bin/time -o "$out/$name.last" -f "%e %U %S %M" "$@"
    read -r wall user sys peak < "$out/$name.last"
    printf '%-8s wall %5.2f s  user %5.2f s  sys %5.2f s  peak %6d KB\n' \
        "$name" "$wall" "$user" "$sys" "$peak"
    echo "$wall $user $sys" >> "$out/$name.times"
}
((cold)) || find -H "$tree" > /dev/null # warm the cache
for ((r = 1; r <= rounds; r++)); do
    timed find find -H "$tree" -printf '%y %s %T@ %m %p\n' > /dev/null
    # fd looks at each entry's metadata only for a filter that needs it: a time filter that
    # every entry passes makes it stat every entry, on all cores, as a parallel anchor.
    [ -z "$fd" ] || timed fdfind "$fd" -u --changed-before '2100-01-01 00:00:00' '' "$tree" > /dev/null
    timed vistrel "$build/src/vistrel-cli" snapshot "$tree" -o "$out/tree.dir"
    if (($# > 0)); then
        timed options "$build/src/vistrel-cli" snapshot "$tree" -o "$out/options.dir" "$@"
    fi
done
if (($# > 0)); then
    echo "entries: $(($(wc -l < "$out/tree.dir") - 1)) without the options," \
        "$(($(wc -l < "$out/options.dir") - 1)) with them"
fi
echo "best of $rounds$( ((cold)) && echo ", cold cache" || echo ", warm cache"), $tree:"
best() { sort -n "$out/$1.times" | head -1; }
read -r anchor _ < <(best find)
for name in find fdfind vistrel options; do
    [ -f "$out/$name.times" ] || continue
    read -r wall user sys < <(best "$name")
    awk -v n="$name" -v w="$wall" -v u="$user" -v s="$sys" -v a="$anchor" 'BEGIN {
        printf "%-8s wall %5.2f s  = %.2f x find   user+sys %5.2f s\n", n, w, w / a, u + s }'
done
echo "over find in the same round (lowest, median):"
for name in fdfind vistrel options; do
    [ -f "$out/$name.times" ] || continue
    paste -d ' ' "$out/$name.times" "$out/find.times" | awk '{ print $1 / $4 }' | sort -n |
        awk -v n="$name" '{ r[NR] = $1 } END {
            printf "%-8s %.2f  %.2f\n", n, r[1], (NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2) }'
done
