#!/bin/bash
# Snapshots a whole disk (this machine's / unless told otherwise) twice and compares the two, as
# a user checking a system would: time and peak memory of each step and the entry count, beside
# `find -xdev` printing the same facts of the same tree as the anchor. The cache is warmed
# first, so both read from memory.
# Usage: bench/whole_disk.sh BUILD_DIR [ROOT] [ROUNDS]
set -euo pipefail
build=${1:?build directory}
root=${2:-/}
rounds=${3:-3}
cli=$build/src/vistrel-cli
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Runs a step under /usr/bin/time; sets `secs` and `mb`.
measure() {
    /usr/bin/time -f '%e %M' -o "$out/time" "$@" > /dev/null || [ $? -eq 1 ]
    # A failing step adds a line ("Command exited with non-zero status 1") before the figures.
    read -r secs kb < <(tail -n 1 "$out/time")
    mb=$((kb / 1024))
}

find "$root" -xdev > /dev/null 2>&1 || true # warm the cache
printf '%-26s %8s %9s %10s %8s\n' step seconds "peak MB" entries "x find"
for ((r = 1; r <= rounds; r++)); do
    measure find "$root" -xdev -printf '%y %s %T@ %m %p\n'
    anchor=$secs
    lines=$(find "$root" -xdev -mindepth 1 -printf x 2> /dev/null | wc -c)
    printf '%-26s %8s %9s %10s %8s\n' "find $root -xdev -printf" "$secs" "$mb" "$lines" 1.00
    for n in 1 2; do
        measure "$cli" snapshot "$root" -o "$out/s$n.dir"
        entries=$(($("$cli" list "$out/s$n.dir" | wc -l) - 1))
        printf '%-26s %8s %9s %10s %8.2f\n' "snapshot $n" "$secs" "$mb" "$entries" \
            "$(awk "BEGIN { print $secs / $anchor }")"
    done
    measure "$cli" compare "$out/s1.dir" "$out/s2.dir"
    printf '%-26s %8s %9s %10s %8.2f\n' "compare" "$secs" "$mb" "" \
        "$(awk "BEGIN { print $secs / $anchor }")"
    "$cli" compare "$out/s1.dir" "$out/s2.dir" | sed 's/^/    /' || true
done
