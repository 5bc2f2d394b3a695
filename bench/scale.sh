#!/bin/bash
# Scans, saves, opens, compares, exports and sorts real trees of growing size and prints each
# step's time and peak memory, so the growth can be read off: per-entry times that stay flat
# mean linear growth (the sorts grow by n log n). The trees are made on disk and removed after.
#
#   bench/scale.sh [BUILD_DIR] [SIZES...]     (defaults: build, 1000000 2000000 5000000)
#
# WORK=DIR picks where the trees go (default /dev/shm/vistrel-scale, a RAM disk, else
# /tmp/vistrel-scale): the files are sparse, so 5 million entries take about 3 GB of inodes
# and no data blocks. Needs /usr/bin/time (Debian package "time").
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
shift || true
SIZES=("$@")
[ ${#SIZES[@]} -eq 0 ] && SIZES=(1000000 2000000 5000000)
if [ -z "${WORK:-}" ]; then
    WORK=/tmp/vistrel-scale
    [ -d /dev/shm ] && WORK=/dev/shm/vistrel-scale
fi
SCALE=$BUILD/bench/vistrel-bench-scale
for tool in "$SCALE" /usr/bin/time; do
    [ -x "$tool" ] || { echo "missing $tool (build first; apt-get install time)" >&2; exit 2; }
done

mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
for n in "${SIZES[@]}"; do
    echo "== $n entries"
    rm -rf "$WORK/tree"
    "$SCALE" gen "$n" "$WORK/tree" >/dev/null
    /usr/bin/time -f "whole run: %e s, max RSS %M kB" "$SCALE" "$WORK/tree" "$WORK"
    rm -rf "$WORK/tree"
done
