#!/usr/bin/env bash
# Runs the demo programs of a build folder, each in a fresh data folder of the embedded engine.
set -euo pipefail
build=$1
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export MSQL_DATA_DIR=$data
export LD_LIBRARY_PATH="$build/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
for demo in "$build"/bin/demo_*; do
    [ -x "$demo" ] || continue
    echo "== $(basename "$demo")"
    "$demo"
done
