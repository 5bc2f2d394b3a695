#!/bin/bash
# Times a snapshot with contents against sha256sum hashing the same files on every core, in
# turn, several rounds, and prints the best wall time of each and their ratio; also a second
# snapshot with contents that keeps the first one's digests of unchanged files (--reuse), and
# the snapshot without contents, so that what reading the files costs shows.
# Usage: [COLD=1] bench/contents_vs_sha256sum.sh BUILD_DIR FOLDER [ROUNDS]
# COLD=1 empties the page, inode and folder caches before each timed run (root only); the
# reusing snapshot is then timed warm all the same, as it reads no file's contents.
set -euo pipefail
build=${1:?build directory}
folder=${2:?folder}
rounds=${3:-3}
cold=${COLD:-0}
if ((cold)) && [ "$(id -u)" != 0 ]; then
    echo "COLD=1 needs root, to write /proc/sys/vm/drop_caches" >&2
    exit 1
fi
work=$(mktemp -d)
source "$(dirname "$0")/best_of.sh"
trap 'rm -rf "$best_of_log" "$work"' EXIT
prepare() {
    if ((cold)); then
        sync
        echo 3 > /proc/sys/vm/drop_caches
    fi
}

cli=$build/src/vistrel-cli
anchor() { find "$folder" -type f -print0 | xargs -0 -P"$(nproc)" sha256sum; }
export -f anchor
export folder
anchor > /dev/null 2>&1 || true # warm the cache
for ((r = 1; r <= rounds; r++)); do
    prepare
    timed sha256sum bash -c anchor
    prepare
    timed contents "$cli" snapshot "$folder" -o "$work/first.dir" --contents
    timed reuse "$cli" snapshot "$folder" -o "$work/second.dir" --reuse "$work/first.dir"
    prepare
    timed plain "$cli" snapshot "$folder" -o "$work/plain.dir"
done
echo "files: $(find "$folder" -type f | wc -l) of $(find "$folder" | wc -l) entries$( ((cold)) && echo ', cold cache')"
printf 'sha256sum on %d cores      %6.2f s\n' "$(nproc)" "${best[sha256sum]}"
printf 'snapshot --contents        %6.2f s  peak %d MB  (%s x sha256sum)\n' "${best[contents]}" \
    $((peak[contents] / 1024)) "$(ratio contents sha256sum)"
printf 'snapshot --reuse FIRST.dir %6.2f s  peak %d MB  (%s x the snapshot without contents)\n' \
    "${best[reuse]}" $((peak[reuse] / 1024)) "$(ratio reuse plain)"
printf 'snapshot                   %6.2f s  (%s x sha256sum)\n' "${best[plain]}" \
    "$(ratio plain sha256sum)"
