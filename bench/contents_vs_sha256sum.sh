#!/bin/bash
# Times a snapshot with contents against sha256sum hashing the same files on every core, in
# turn, several rounds, warm cache, and prints the best wall time of each and their ratio; also
# the snapshot without contents, so that what reading the files costs shows.
# Usage: bench/contents_vs_sha256sum.sh BUILD_DIR FOLDER [ROUNDS]
set -euo pipefail
build=${1:?build directory}
folder=${2:?folder}
rounds=${3:-3}
out=$(mktemp)
source "$(dirname "$0")/best_of.sh"
trap 'rm -f "$best_of_log" "$out"' EXIT

anchor() { find "$folder" -type f -print0 | xargs -0 -P"$(nproc)" sha256sum; }
export -f anchor
export folder
anchor > /dev/null 2>&1 || true # warm the cache
for ((r = 1; r <= rounds; r++)); do
    timed sha256sum bash -c anchor
    timed contents "$build/src/vistrel-cli" snapshot "$folder" -o "$out" --contents
    timed plain "$build/src/vistrel-cli" snapshot "$folder" -o "$out"
done
echo "files: $(find "$folder" -type f | wc -l) of $(find "$folder" | wc -l) entries"
printf 'sha256sum on %d cores  %6.2f s\n' "$(nproc)" "${best[sha256sum]}"
printf 'snapshot --contents    %6.2f s  peak %d MB  (%s x sha256sum)\n' "${best[contents]}" \
    $((peak[contents] / 1024)) "$(ratio contents sha256sum)"
printf 'snapshot               %6.2f s  (%s x sha256sum)\n' "${best[plain]}" \
    "$(ratio plain sha256sum)"
