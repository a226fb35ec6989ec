#!/usr/bin/env bash
# Runs every scenario of examples/ over its whole period (the tests shorten
# them to 20 May 1980) in a fresh folder each, and reports per scenario the
# exit status, the run time, "korvan.ok" and the number of warnings in the
# log. Exit status 1 when any run did not end normally or warned.
#
#   tools/run_examples.sh [korvan binary]      (default build/korvan)
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
KORVAN=${1:-$ROOT/build/korvan}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

if [[ ! -x $KORVAN ]]; then
  echo "run_examples.sh: no program at $KORVAN (build it with make)" >&2
  exit 2
fi

failed=0
printf '%-16s %6s %8s %10s %8s\n' scenario status seconds korvan.ok warnings
for folder in "$ROOT"/examples/*/; do
  id=$(basename "$folder")
  cp -r "$folder" "$WORK/$id"
  start=$(date +%s%N)
  (cd "$WORK/$id" && "$KORVAN" "$id" >console.txt 2>&1)
  status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  ok=no
  [[ -f $WORK/$id/korvan.ok ]] && ok=yes
  warnings=$(grep -c '###### Warning' "$WORK/$id/$id.log" 2>/dev/null)
  printf '%-16s %6d %6d.%d %10s %8s\n' "$id" "$status" $((ms / 1000)) $((ms % 1000 / 100)) "$ok" "${warnings:-?}"
  if [[ $status -ne 0 || $ok != yes || ${warnings:-1} -ne 0 ]]; then failed=1; fi
done
exit $failed
