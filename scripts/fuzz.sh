#!/usr/bin/env bash
# Runs every fuzz target of a clang build folder for a bounded time (FUZZ_SECONDS, default 60 each).
set -euo pipefail
build=$1
seconds=${FUZZ_SECONDS:-60}
for f in "$build"/bin/fuzz_*; do
    [ -x "$f" ] || continue
    corpus=$(mktemp -d)
    echo "== $(basename "$f") for ${seconds}s"
    "$f" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
    rm -rf "$corpus"
done
