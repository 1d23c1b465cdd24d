#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds an example out of tree against the
# installed package twice — through find_package(Corvane) and through pkg-config — and runs both
# on the embedded engine. Usage: scripts/package-check.sh <build dir> <example source>
set -euo pipefail
build=$1
example=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$root/cmake/package-check" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DEXAMPLE="$example" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --exists corvane5
# shellcheck disable=SC2046
g++ -o "$work/pkg-example" "$example" $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs corvane5)

# The installed libraries find libmsql.so beside themselves: no LD_LIBRARY_PATH is set.
for program in "$work/cmake-build/example" "$work/pkg-example"; do
    mkdir "$work/data"
    (cd "$work" && MSQL_DATA_DIR="$work/data" "$program" >"$work/out.txt") || {
        echo "package check: $program failed"; cat "$work/out.txt"; exit 1; }
    rm -rf "$work/data"
done
echo "package check: find_package and pkg-config builds of $(basename "$(dirname "$example")") ran"
