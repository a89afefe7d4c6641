#!/usr/bin/env bash
# Measures the programs of a build (default: build/) against what the same
# file work costs other programs, side by side in one run, each pair over
# alternating runs with medians, and prints each ratio beside its target:
#
# - tintpack on a 1,000,000-colour palette against `wc -l` on the same file;
# - tintunpack on its 1,000,000 words against `cp` of the .gpl it writes;
# - tintpack on 64 colours against bench/floor.c, a C program that does the
#   same file work with stdio (and, for information, against the same program
#   replacing its output by a rename, as tintpack does);
# - peak resident memory of both programs at 1,000,000 colours.
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
"$build/tintpack" "$work/big.gpl" "$work/big.bin" > /dev/null
"$build/tintunpack" "$work/big.bin" "$work/big-back.gpl" 16 Bench

# compare LABEL TARGET RUNS -- COMMAND_A... -- COMMAND_B...
compare() {
    local label=$1 target=$2 runs=$3
    shift 3
    local result a b ratio verdict
    result=$("$build/bench/spawn_compare" "$runs" "$@")
    a=$(sed -n 's/^A: \([0-9.]*\) us.*/\1/p' <<< "$result")
    b=$(sed -n 's/^B: \([0-9.]*\) us.*/\1/p' <<< "$result")
    ratio=$(sed -n 's/^A\/B: //p' <<< "$result")
    verdict=$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (t == "-" ? "" : (r <= t ? "within target" : "OVER TARGET")) }')
    printf '%-58s %9.1f us / %9.1f us = %5s  (target %s) %s\n' "$label" "$a" "$b" "$ratio" "$target" "$verdict"
}

# peak LABEL COMMAND...: the largest peak resident memory of five runs.
peak() {
    local label=$1 kib=0 run
    shift
    for _ in 1 2 3 4 5; do
        /usr/bin/time -f '%M' -o "$work/time" "$@" > /dev/null
        run=$(cat "$work/time")
        [ "$run" -gt "$kib" ] && kib=$run
    done
    printf '%-58s %6.1f MiB  (target 4.0) %s\n' "$label" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" \
        "$(awk -v k="$kib" 'BEGIN { print (k <= 4096 ? "within target" : "OVER TARGET") }')"
}

echo "input: $(stat -c %s "$work/big.gpl") bytes of palette text, $(stat -c %s "$work/big-back.gpl") bytes written back"
compare "tintpack 1,000,000 colours / wc -l on the same file" 4 40 \
    -- "$build/tintpack" "$work/big.gpl" "$work/big.bin" -- wc -l "$work/big.gpl"
compare "tintunpack 1,000,000 words / cp of the .gpl it writes" 4 40 \
    -- "$build/tintunpack" "$work/big.bin" "$work/big-back.gpl" 16 Bench \
    -- cp "$work/big-back.gpl" "$work/copy.gpl"
compare "tintpack 64 colours / the same file work in C with stdio" 1.15 3000 \
    -- "$build/tintpack" "$work/small.gpl" "$work/small.bin" \
    -- "$build/bench/floor" "$work/small.gpl" "$work/floor.bin"
compare "  (for information) / that C program replacing by rename" - 3000 \
    -- "$build/tintpack" "$work/small.gpl" "$work/small.bin" \
    -- "$build/bench/floor" "$work/small.gpl" "$work/floor.bin" --replace
compare "  (for information) a no-op C program / the C program" - 3000 \
    -- "$build/bench/noop" -- "$build/bench/floor" "$work/small.gpl" "$work/floor.bin"
peak "peak memory, tintpack on 1,000,000 colours" "$build/tintpack" "$work/big.gpl" "$work/big.bin"
peak "peak memory, tintunpack on 1,000,000 words" \
    "$build/tintunpack" "$work/big.bin" "$work/big-back.gpl" 16 Bench
