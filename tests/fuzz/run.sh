#!/usr/bin/env bash
# Builds the manifest parser's libFuzzer target with clang (AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it for a bounded time: the number
# of seconds given as $1, 30 by default. Exits non-zero when the build fails
# or the fuzzer finds a crash, a leak, undefined behaviour or a failed
# check; the input that did it is left in build/fuzz/ to replay with
#   build/fuzz/manifest_fuzz build/fuzz/crash-...
# The corpus grows in build/fuzz/corpus from the seeds in tests/fuzz/seeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-30}
out=$root/build/fuzz
binary=$out/manifest_fuzz
mkdir -p "$out/corpus"

sources=("$here/manifest_fuzz.cpp" "$root"/comp/core/*.cpp)
if [ ! -x "$binary" ] || [ -n "$(find "${sources[@]}" "$root"/comp/core/*.h -newer "$binary" 2>/dev/null)" ]; then
  echo "fuzz: building $binary"
  clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$root/comp" "${sources[@]}" -lz -o "$binary.new"
  mv "$binary.new" "$binary"
fi

log=$out/last-run.log
status=0
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -dict="$here/manifest.dict" \
  -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus" "$here/seeds" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
if [ "$status" -ne 0 ]; then
  tail -n 40 "$log"
  echo "fuzz: FAILED after ${runs:-?} runs (exit $status); see $log"
  exit 1
fi
echo "fuzz: ${runs:-?} runs in ${seconds} s, corpus $(ls "$out/corpus" | wc -l) inputs, no failure"
