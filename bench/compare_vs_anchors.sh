#!/bin/bash
# Times `vistrel-cli compare` of two snapshot files against tools that only read or sort the same
# two files, in turn, several rounds, and prints the best wall time of each with its ratio to the
# anchors: `awk` splitting every line of both files into fields and `sort` (C locale) sorting
# their lines together. Usage: bench/compare_vs_anchors.sh BUILD_DIR ORIGINAL.dir FINAL.dir
# [ROUNDS] [COMPARE OPTIONS...]
set -euo pipefail
build=${1:?build directory}
original=${2:?original snapshot}
final=${3:?final snapshot}
rounds=${4:-5}
shift $(($# < 4 ? $# : 4))
source "$(dirname "$0")/best_of.sh"

cat "$original" "$final" > /dev/null # warm the cache
for ((r = 1; r <= rounds; r++)); do
    timed awk awk -F, '{s += $4} END {print s}' "$original" "$final"
    timed sort env LC_ALL=C sort "$original" "$final"
    timed vistrel "$build/src/vistrel-cli" compare "$original" "$final" "$@"
done
echo "entries:  $(($(wc -l < "$original") - 1)) and $(($(wc -l < "$final") - 1))"
printf 'awk      %6.2f s\n' "${best[awk]}"
printf 'sort     %6.2f s\n' "${best[sort]}"
printf 'vistrel  %6.2f s  peak %d MB  (%s x awk, %s x sort)\n' "${best[vistrel]}" \
    $((peak[vistrel] / 1024)) "$(ratio vistrel awk)" "$(ratio vistrel sort)"
