#!/usr/bin/env bash
# The guided demo: loads the sample database "shop" (examples/shop.sql) into a temporary data folder
# of the embedded engine, then runs each example of examples/ on a fresh copy of it, with a word on
# what it shows. The temporary folder is removed at the end, also after a failure.
# Usage: scripts/demo.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
export LD_LIBRARY_PATH="$build/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
start=$(date +%s%N)

# name|what it shows (in the order they run)
examples=(
    "connect|Connect to the database and list its tables, their columns and indexes."
    "table_browse|A table in the order of an index, narrowed by a key range, filtered, then searched."
    "master_detail|Customers as master, their orders as detail: moving the master re-reads the detail."
    "editing|Edit, insert and delete rows; a duplicate key the server refuses is caught and cancelled."
    "memo|A TEXT column read and written through blob streams."
    "form_file|A form file whose database connects and whose tables open as it is loaded."
    "query|A query with parameters, run again with new values, and statements run with ExecSQL."
    "update_sql|An update-SQL object supplies the statements that write a query's edits."
    "engine_tour|One level down: the engine call surface the components are built on."
    "monitor|The msql monitor running a script against the embedded engine."
)

echo "Corvane demo: the programs of examples/ on the embedded mSQL engine (no server needed)."
mkdir "$work/sample"
MSQL_DATA_DIR="$work/sample" "$bin/msqladmin" create shop >/dev/null
MSQL_DATA_DIR="$work/sample" "$bin/msql" shop <"$root/examples/shop.sql" >/dev/null
echo "Sample database 'shop' loaded from examples/shop.sql into $work;"
echo "each example runs on a fresh copy of it, so every one starts from the same rows."

total=0
for entry in "${examples[@]}"; do
    [ -x "$bin/demo_${entry%%|*}" ] && total=$((total + 1))
done
n=0
for entry in "${examples[@]}"; do
    name=${entry%%|*}
    about=${entry#*|}
    [ -x "$bin/demo_$name" ] || continue
    n=$((n + 1))
    echo
    echo "=== [$n/$total] $name  (examples/$name)"
    echo "    $about"
    echo
    rm -rf "$work/run"
    cp -a "$work/sample" "$work/run"
    (cd "$work/run" && MSQL_DATA_DIR="$work/run" "$bin/demo_$name") | sed 's/^/    /'
done

elapsed=$((($(date +%s%N) - start) / 1000000))
echo
echo "Demo finished: $n examples in $((elapsed / 1000)).$(printf '%03d' $((elapsed % 1000))) s; the temporary folder is removed."
