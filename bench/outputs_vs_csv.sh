#!/bin/bash
# Times the outputs for scripts (list, list --json, compare --tsv, compare --json) on two
# snapshots of a million entries with details and digests, beside the CSV export of the same
# file (with and without --details) and awk reading it, in turn, several rounds; prints the
# best wall time of each and its ratio to the CSV export with details.
# Usage: bench/outputs_vs_csv.sh BUILD_DIR [ENTRIES] [ROUNDS]
set -euo pipefail
build=${1:?build directory}
entries=${2:-1000000}
rounds=${3:-3}
work=$(mktemp -d)
source "$(dirname "$0")/best_of.sh"
trap 'rm -rf "$best_of_log" "$work"' EXIT

cli=$build/src/vistrel-cli
o=$work/original.dir
f=$work/final.dir
"$build/bench/vistrel-bench" gen-dir "$entries" "$o" "$f" --details
for ((r = 1; r <= rounds; r++)); do
    timed awk awk -F, '{ s += $4 } END { print s }' "$o"
    timed csv "$cli" export "$o" -o "$work/out.csv"
    timed csv-details "$cli" export "$o" --details -o "$work/out.csv"
    timed list "$cli" list "$o"
    timed list-json "$cli" list "$o" --json
    timed compare "$cli" compare "$o" "$f"
    timed compare-tsv "$cli" compare "$o" "$f" --tsv
    timed compare-json "$cli" compare "$o" "$f" --json
done
echo "$entries entries with details and digests a file ($(du -m "$o" | cut -f1) MB)"
for name in awk csv csv-details list list-json compare compare-tsv compare-json; do
    printf '%-13s %6.2f s  peak %5d MB  %s x export --details\n' "$name" "${best[$name]}" \
        $((peak[$name] / 1024)) "$(ratio "$name" csv-details)"
done
