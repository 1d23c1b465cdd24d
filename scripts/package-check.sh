#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds an example out of tree against the
# installed package twice — through find_package(Corvane) and through pkg-config — and runs both
# on the sample database, loaded with the installed msqladmin and msql monitor; each run must show
# the example's expected rows (examples/<name>/expected.txt).
# Usage: scripts/package-check.sh <build dir> <example folder>   (e.g. examples/table_browse)
set -euo pipefail
build=$1
example=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
# The examples share their helpers from the folder above them (examples/common).
helpers=$(dirname "$example")

cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S "$root/cmake/package-check" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DEXAMPLE="$example/main.cpp" -DEXAMPLE_INCLUDE="$helpers" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exists corvane5
# shellcheck disable=SC2046
g++ -o "$work/pkg-example" -I"$helpers" "$example/main.cpp" \
    $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs corvane5)

# The installed libraries find libmsql.so beside themselves: no LD_LIBRARY_PATH is set.
for program in "$work/cmake-build/example" "$work/pkg-example"; do
    env -u LD_LIBRARY_PATH cmake -DPROGRAM="$program" -DEXPECTED="$example/expected.txt" \
        -DSAMPLE="$root/examples/shop.sql" -DMSQLADMIN="$prefix/bin/msqladmin" -DMONITOR="$prefix/bin/msql" \
        -DWORK="$work/run" -P "$root/examples/RunExample.cmake" >"$work/out.txt" 2>&1 || {
        echo "package check: $program failed"
        cat "$work/out.txt"
        exit 1
    }
done
echo "package check: find_package and pkg-config builds of $(basename "$example") ran and showed their rows"
