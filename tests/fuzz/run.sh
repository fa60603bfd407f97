#!/usr/bin/env bash
# Builds the libFuzzer targets of the code that reads the server's data with
# clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for
# a bounded time:
#   manifest       the manifest parser and the plan made from a manifest
#   content_range  a resumed download's Content-Range and its acceptance
#   data_url       the data URL and the objects' paths made from it
#   inflate        the capped unpacking of a stored object
#   http_response  a response head and its body, as the HTTP client reads them
#   manifest_delta a manifest delta applied to the local manifest's text
# $1 is the whole time in seconds, 40 by default, shared evenly by the
# targets run (at least 1 s each); further arguments name the targets to
# run, all by default. Every target runs even when one fails; the script
# exits non-zero when a build fails or a fuzzer finds a crash, a leak,
# undefined behaviour or a failed check. The input that did it is left in
# build/fuzz/<target>/ to replay with
#   build/fuzz/<target>/fuzz build/fuzz/<target>/crash-...
# Each corpus grows in build/fuzz/<target>/corpus from the seeds in
# tests/fuzz/seeds/<target>/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-40}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(manifest content_range data_url inflate http_response manifest_delta)
each=$(( seconds / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1
out=$root/build/fuzz
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I "$root/comp")
headers=("$root"/comp/core/*.h "$root"/comp/contract/*.h "$here"/*.h)

# The engine's portable core, compiled once for every target; a changed
# header recompiles all of it.
core=$out/core
mkdir -p "$core"
objects=()
for source in "$root"/comp/core/*.cpp; do
  object=$core/$(basename "$source" .cpp).o
  objects+=("$object")
  if [ ! -f "$object" ] || [ -n "$(find "$source" "${headers[@]}" -newer "$object" 2>/dev/null)" ]; then
    echo "fuzz: compiling $(basename "$source")"
    clang++ "${flags[@]}" -c "$source" -o "$object"
  fi
done

failed=0
for target in "${targets[@]}"; do
  dir=$out/$target
  binary=$dir/fuzz
  source=$here/${target}_fuzz.cpp
  mkdir -p "$dir/corpus"
  if [ ! -x "$binary" ] || [ -n "$(find "$source" "${objects[@]}" "${headers[@]}" -newer "$binary" 2>/dev/null)" ]; then
    echo "fuzz: building $binary"
    if ! clang++ "${flags[@]}" -fsanitize=fuzzer "$source" "${objects[@]}" -lz -o "$binary.new"; then
      echo "fuzz $target: BUILD FAILED"
      failed=1
      continue
    fi
    mv "$binary.new" "$binary"
  fi
  dictionary=()
  [ -f "$here/$target.dict" ] && dictionary=(-dict="$here/$target.dict")
  log=$dir/last-run.log
  status=0
  "$binary" -max_total_time="$each" -timeout=10 -rss_limit_mb=1024 "${dictionary[@]}" \
    -artifact_prefix="$dir/" -print_final_stats=1 "$dir/corpus" "$here/seeds/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz $target: FAILED after ${runs:-?} runs (exit $status); see $log"
    failed=1
  else
    echo "fuzz $target: ${runs:-?} runs in ${each} s, corpus $(ls "$dir/corpus" | wc -l) inputs, no failure"
  fi
done
exit "$failed"
