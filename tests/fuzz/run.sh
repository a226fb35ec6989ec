#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each for SECONDS seconds,
# one after another. Seeds come from tests/fuzz/corpus/<target>; the inputs
# the fuzzer adds stay in build-fuzz/corpus/<target>, and a crash leaves its
# input in build-fuzz/findings/<target>/. Exits non-zero when a target failed.
#
#   tests/fuzz/run.sh SECONDS [TARGET...]
set -euo pipefail

seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVAN_FUZZ_BUILD:-$root/build-fuzz}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(input_file dates layout meteo lateral_entries)

cmake -S "$root" -B "$build" -DKORVAN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" >/dev/null
cmake --build "$build" -j2 >/dev/null

failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "== $target: $seconds s"
  # The targets write their run folders under the temporary directory and
  # leave nothing in the working directory.
  dict=()
  [ -f "$root/tests/fuzz/$target.dict" ] && dict=(-dict="$root/tests/fuzz/$target.dict")
  if ! (cd "$build" && "./${target}_fuzz" "${dict[@]}" -max_total_time="$seconds" -timeout=10 \
          -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
          -artifact_prefix="$findings/" "$corpus" "$root/tests/fuzz/corpus/$target" \
          2>"$build/$target.log"); then
    failed+=("$target")
    tail -n 60 "$build/$target.log"
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/$target.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets with findings: ${failed[*]}"
  exit 1
fi
