#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60),
# one after another, seeded from the test fixtures. Exits non-zero on the first
# finding; the input that caused it is kept in build-fuzz/findings/.
#
#   fuzz/run.sh [SECONDS [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(split_line_fuzzer read_palette_text_fuzzer write_palette_text_fuzzer)

cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTINT_FUZZ=ON -DTINT_STATIC_LINK=OFF -DTINT_BUILD_TESTS=OFF
cmake --build build-fuzz --parallel
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    cp tests/fixtures/* "$corpus/"
    echo "== $target for $seconds s"
    log=build-fuzz/$target.log
    status=0
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/palette.dict -artifact_prefix="build-fuzz/findings/$target-" \
        -print_final_stats=1 "$corpus" \
        > "$log" 2>&1 || status=$?
    grep -E '^(Done |stat::number_of_executed_units)' "$log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log"
        echo "$target: a finding (status $status), kept in build-fuzz/findings/"
        exit 1
    fi
done
