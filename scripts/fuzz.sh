#!/usr/bin/env bash
# Runs every fuzz target of a clang build folder for a bounded time, starting from its seed corpus
# (tests/fuzz/corpus/<name> for fuzz_<name>, msql/fuzz/corpus for the mSQL parser when present).
#   FUZZ_TOTAL_SECONDS  time shared by all targets (default 180)
#   FUZZ_SECONDS        time per target instead (overrides the share)
# A crash fails the script; its input is kept in <build>/fuzz-artifacts for the corpus.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
targets=()
for f in "$build"/bin/fuzz_*; do
    [ -x "$f" ] || continue
    case "$(basename "$f")" in fuzz_replay_*) continue ;; esac
    targets+=("$f")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build/bin"; exit 0; }
total=${FUZZ_TOTAL_SECONDS:-180}
seconds=${FUZZ_SECONDS:-$((total / ${#targets[@]}))}
[ "$seconds" -ge 1 ] || seconds=1
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
for f in "${targets[@]}"; do
    name=$(basename "$f")
    name=${name#fuzz_}
    seeds="$root/tests/fuzz/corpus/$name"
    [ "$name" = msql_parser ] && seeds="$root/msql/fuzz/corpus"
    corpus=$(mktemp -d)
    dirs=("$corpus")
    [ -d "$seeds" ] && dirs+=("$seeds")
    echo "== fuzz_$name for ${seconds}s"
    "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${dirs[@]}" 2>&1 | tail -n 15
    rm -rf "$corpus"
done
