#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# on its seed corpus. A crash, leak or sanitizer report fails the run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
seconds=${1:-20}
shopt -s nullglob
# Only the fuzz targets and the libraries under them: the suite itself is
# built and run by test.sh already.
targets=()
for source in "$KVR_ROOT"/fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
if [ ! -f "$KVR_ROOT/build-fuzz/build.ninja" ]; then
  cmake -S "$KVR_ROOT" -B "$KVR_ROOT/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" >/dev/null
fi
cmake --build "$KVR_ROOT/build-fuzz" --target "${targets[@]}"
ran=0
for target in "$KVR_ROOT"/build-fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$KVR_ROOT/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  echo "fuzzing $name for ${seconds}s (seeds: $corpus)"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$work" "$corpus" 2>"$work.log" \
    || { tail -n 60 "$work.log"; echo "FAILED: $name"; exit 1; }
  grep -E "^Done|#[0-9]+.*DONE" "$work.log" | tail -n 1 || true
  rm -rf "$work" "$work.log"
  ran=$((ran + 1))
done
echo "fuzz targets run: $ran"
