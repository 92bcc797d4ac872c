#!/usr/bin/env bash
# Builds the benchmarks (Release with debug info, in build/ unless BUILD_DIR says otherwise) and
# runs them: one count query per path and the row-edit walk with Google Benchmark, then structure
# learning on a 50,000 x 15 table through SQLite, the in-memory counting path and a private
# PostgreSQL server, on a 1,000,000 x 15 table through the in-memory path, and zorv's default
# run on a dense 1,000,000-row table, and the knowledge page's import of a 1,000-node network's
# links. Arguments go to
# learning_bench (e.g. --sizes 50000x15 --no-postgres, or --wide 1000x1000).
# The generated tables are kept in $BUILD_DIR/bench-data for the next run.
set -euo pipefail

src="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$src/build}"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target learning_bench knowledge_import_bench $( [ -f /usr/include/benchmark/benchmark.h ] && echo count_query_bench row_edit_bench conditioning_bench )

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
if [ -x "$build/bench/count_query_bench" ]; then
    "$build/bench/count_query_bench" --benchmark_min_time=0.5
    "$build/bench/row_edit_bench"
    "$build/bench/conditioning_bench"
fi
cd "$build"
"$build/bench/knowledge_import_bench" --data "$build/bench-data"
"$build/bench/learning_bench" --data "$build/bench-data" "$@"
