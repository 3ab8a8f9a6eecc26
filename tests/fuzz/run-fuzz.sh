#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build: first every saved input once (the seed
# corpus and the reproducers of past findings), then each target for SECONDS.
# New inputs the runs find go to a working corpus under the build folder, never
# into the repository. A finding stops the run; its input is left in
# BUILD/fuzz-artifacts/TARGET/ to be fixed and kept under
# tests/fuzz/regressions/TARGET/.
#
# usage: run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail

build=$1
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(module ico extract)
here=$(cd "$(dirname "$0")" && pwd)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for target in "${targets[@]}"; do
  fuzzer=$build/tests/fuzz/${target}_fuzzer
  corpus=$here/corpus/$target
  regressions=$here/regressions/$target
  work=$build/fuzz-work/$target
  artifacts=$build/fuzz-artifacts/$target
  mkdir -p "$corpus" "$regressions" "$work" "$artifacts"
  common=(-timeout=10 -rss_limit_mb=2048 -max_len=262144 "-artifact_prefix=$artifacts/")

  saved=$(find "$corpus" "$regressions" -type f | wc -l)
  echo "fuzz: $target: replaying $saved saved inputs"
  "$fuzzer" "${common[@]}" -runs=0 "$corpus" "$regressions" >"$work.replay.log" 2>&1 || {
    tail -n 60 "$work.replay.log"; echo "fuzz: $target: a saved input fails"; exit 1; }

  if [ "$seconds" -gt 0 ]; then
    echo "fuzz: $target: fuzzing for ${seconds}s"
    "$fuzzer" "${common[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      "$work" "$corpus" "$regressions" >"$work.log" 2>&1 || {
      tail -n 80 "$work.log"; echo "fuzz: $target: finding in $artifacts"; exit 1; }
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$work.log" | tail -n 2 | sed "s/^/fuzz: $target: /"
  fi
done
echo "fuzz: all targets passed"
