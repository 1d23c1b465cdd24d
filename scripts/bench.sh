#!/usr/bin/env bash
# Runs every benchmark program of a build folder, each in a fresh data folder.
set -euo pipefail
build=$1
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export MSQL_DATA_DIR=$data
export LD_LIBRARY_PATH="$build/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
found=0
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true
done
[ $found -eq 1 ] || echo "no benchmarks built"
