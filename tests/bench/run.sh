#!/bin/bash
# Builds tests/bench/manifest_bench.cpp with -O2 (or $BENCH_FLAGS, such as
# -O0 -g for the Debug build the unit tests use) against the core of the
# tree it is given (default: this one) and runs it.
#   tests/bench/run.sh [source tree]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=${1:-$(cd "$here/../.." && pwd)}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 ${BENCH_FLAGS:--O2 -DNDEBUG} -I"$tree/comp" -include "$here/bench_read.h" \
    "$here/manifest_bench.cpp" "$tree"/comp/core/*.cpp -o "$out/manifest_bench" -lz
"$out/manifest_bench"
