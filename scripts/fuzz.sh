#!/bin/bash
# Builds the fuzz targets with clang and both sanitizers, then fuzzes each for SECONDS
# (default 10): the STL text handling (strings) and the head tracker's datagrams (pose).
#   scripts/fuzz.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build=${2:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFISHTANK_FUZZ=ON > /dev/null
cmake --build "$build" --target strings-fuzz pose-fuzz -j"$(nproc)" > /dev/null
for target in strings pose; do
    corpus=$(mktemp -d)
    cp tests/fuzz/$target-corpus/* "$corpus"/
    echo "== $target"
    "$build/$target-fuzz" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -12
    rm -rf "$corpus"
done
