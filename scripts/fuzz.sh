#!/bin/bash
# Builds the fuzz target with clang and both sanitizers, then fuzzes for SECONDS (default 10).
#   scripts/fuzz.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build=${2:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFISHTANK_FUZZ=ON > /dev/null
cmake --build "$build" --target strings-fuzz -j"$(nproc)" > /dev/null
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/* "$corpus"/
"$build"/strings-fuzz -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -12
