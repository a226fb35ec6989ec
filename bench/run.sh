#!/usr/bin/env bash
# Benchmarks of whole runs of generated scenarios (bench/generate.py), timed
# with /usr/bin/time -v (wall time and peak memory), REPS repetitions each,
# the median reported in bench/results.md (bench/report.py writes it).
#
#   bench/run.sh            every scenario
#   bench/run.sh year1 seg10 ...   only these scenarios
#
# Environment: REPS (default 3), REPS_LONG (repetitions of the 20-year run,
# default REPS), BENCH_CPU (the core to pin the runs to,
# default the last one; empty: no pinning).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
WORK="$BUILD/scenarios"
REPS=${REPS:-3}
REPS_LONG=${REPS_LONG:-$REPS}
RAW="$BUILD/raw.tsv"

if [[ ! -x /usr/bin/time ]]; then
  echo "bench/run.sh: /usr/bin/time is missing (install the package 'time')" >&2
  exit 1
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVAN_TESTS=OFF -DKORVAN_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target bench

CPU=${BENCH_CPU-$(($(nproc) - 1))}
PIN=()
if [[ -n "$CPU" ]] && command -v taskset >/dev/null; then PIN=(taskset -c "$CPU"); fi

# name | scanned dimension | value | generator arguments
# The scans run over 12-18 May 1980 (168 hours, with the drift event of 15 May);
# printed daily (a month would not start on the first day); seg10 is the base case of every scan: 10 segments, 20 layers, 2 compounds.
MAY="--start 12-May-1980 --end 18-May-1980 --interval Day"
SCENARIOS=(
  "year1|years|1|--years 1"
  "year20|years|20|--years 20"
  "seg10|segments|10|$MAY --segments 10"
  "seg100|segments|100|$MAY --segments 100"
  "seg1000|segments|1000|$MAY --segments 1000"
  "lay10|layers|10|$MAY --layers 10"
  "lay40|layers|40|$MAY --layers 40"
  "lay100|layers|100|$MAY --layers 100"
  "cmp1|compounds|1|$MAY --compounds 1"
  "cmp3|compounds|3|$MAY --compounds 3"
  "cmp6|compounds|6|$MAY --compounds 6"
  "printoff|printing|none hourly|$MAY --print none --interval Hour"
  "printon|printing|all hourly|$MAY --print all --interval Hour"
)

# Median of the numbers on standard input.
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Seconds from the "m:ss.ss" or "h:mm:ss" of /usr/bin/time.
seconds() { awk -F: '{s=0; for (i=1;i<=NF;i++) s=s*60+$i; print s}'; }

mkdir -p "$WORK"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$RAW"
for entry in "${SCENARIOS[@]}"; do
  IFS='|' read -r name dim value args <<<"$entry"
  if [[ $# -gt 0 ]] && [[ ! " $* " == *" $name "* ]]; then continue; fi
  dir="$WORK/$name"
  rm -rf "$dir"
  # shellcheck disable=SC2086
  python3 "$ROOT/bench/generate.py" "$dir" $args
  reps=$REPS
  [[ $name == year20 ]] && reps=$REPS_LONG
  walls=() rss=()
  for ((r = 1; r <= reps; r++)); do
    rm -f "$dir"/bench.{out,log,sum,hyd,tem,err} "$dir/korvan.ok"
    (cd "$dir" && "${PIN[@]}" /usr/bin/time -v -o time.txt "$BUILD/korvan" bench >/dev/null)
    walls+=("$(grep 'Elapsed (wall clock)' "$dir/time.txt" | awk '{print $NF}' | seconds)")
    rss+=("$(grep 'Maximum resident set size' "$dir/time.txt" | awk '{print $NF}')")
  done
  wall=$(printf '%s\n' "${walls[@]}" | median)
  kb=$(printf '%s\n' "${rss[@]}" | median)
  # The substance pass alone: the same scenario reading back the hydrology
  # and temperature files of the last run.
  sed -i -e 's/^OnLine\( *OptHyd\)/OffLine\1/' -e 's/^OnLine\( *OptTem\)/OffLine\1/' "$dir/bench.kvn"
  passes=() stats=""
  for ((r = 1; r <= reps; r++)); do
    stats=$(cd "$dir" && "${PIN[@]}" "$BUILD/korvan_pass_stats" bench)
    passes+=("$(sed 's/.*seconds=\([^ ]*\).*/\1/' <<<"$stats")")
  done
  pass=$(printf '%s\n' "${passes[@]}" | median)
  substeps=$(sed 's/.*substeps=\([^ ]*\).*/\1/' <<<"$stats")
  iters=$(sed 's/.*cell_iterations=\([^ ]*\).*/\1/' <<<"$stats")
  hours=$(grep -vc '^\*' "$dir/Bench.met")
  seg=$(awk '/^table WaterBody/{getline; getline; getline; print $2}' "$dir/bench.kvn")
  lay=$(awk '/^table SedimentProfile/{getline; getline; getline; a=$2; getline; print a+$2}' "$dir/bench.kvn")
  cmp=$(awk '/^table compounds/{n=0; while ((getline l) > 0 && l != "end_table") n++; print n}' "$dir/bench.kvn")
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$dim" "$value" "$hours" \
    "$seg" "$lay" "$cmp" "$wall" "$kb" "$pass" "$substeps" "$iters" | tee -a "$RAW"
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

"${PIN[@]}" "$BUILD/korvan_pow_bench" --benchmark_filter=FreundlichPow --benchmark_repetitions="$REPS" \
  --benchmark_format=json >"$BUILD/pow.json" 2>/dev/null

python3 "$ROOT/bench/report.py" --raw "$RAW" --pow "$BUILD/pow.json" --reps "$REPS" --reps-long "$REPS_LONG" \
  --load-before "$LOAD_BEFORE" --load-after "$LOAD_AFTER" --pinned "${CPU:-none}" \
  --root "$ROOT" >"$ROOT/bench/results.md"
echo "bench/results.md written"
