#!/usr/bin/env bash
# Measures the programs of a build (default: build/): wall time and peak
# memory on a 1,000,000-colour palette and its 2 MB word file, and the
# start-up cost of converting a 64-colour palette against a no-op C program.
#
#   bench/run.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import random, sys
random.seed(1)
folder = sys.argv[1]
for name, colours in (("big.gpl", 1000000), ("small.gpl", 64)):
    with open(f"{folder}/{name}", "w") as palette:
        palette.write("GIMP Palette\nName: Bench\nColumns: 16\n#\n")
        for i in range(colours):
            palette.write("%3d %3d %3d\tColour %d\n" % (random.randrange(256),
                          random.randrange(256), random.randrange(256), i))
PY

# Prints the best wall time and the largest peak memory of five runs.
measure() {
    local label=$1 best="" rss=0
    shift
    for _ in 1 2 3 4 5; do
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" > /dev/null
        read -r wall kib < "$work/time"
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall
        fi
        [ "$kib" -gt "$rss" ] && rss=$kib
    done
    printf '%-48s %6s s  %6.1f MiB peak\n' "$label" "$best" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
}

echo "input: $(stat -c %s "$work/big.gpl") bytes of palette text"
measure "tintpack, 1,000,000 colours" "$build/tintpack" "$work/big.gpl" "$work/big.bin"
measure "tintunpack, 1,000,000 words" "$build/tintunpack" "$work/big.bin" "$work/big-back.gpl" 16 Bench
echo "start-up, tintpack on 64 colours (A) against a no-op C program (B):"
"$build/bench/spawn_compare" 3000 -- "$build/tintpack" "$work/small.gpl" "$work/small.bin" \
    -- "$build/bench/noop"
