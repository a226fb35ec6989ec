#!/usr/bin/env bash
# Benchmarks of whole runs of generated scenarios (bench/generate.py), timed
# with /usr/bin/time -v (wall time and peak memory), REPS repetitions each,
# the median reported in bench/results.md (bench/report.py writes it).
#
# Every scenario runs side by side, repetition by repetition, with
#   - the previous release: the program built from OLD_REF (default 492874e,
#     the last commit before the sediment solve was restructured), one thread;
#   - this tree on one thread (--threads 1) and on two (--threads 2, with
#     OMP_WAIT_POLICY=ACTIVE: the threads wait for each other spinning);
#   - this tree with OptTimStp Implicit (year1 and year20 only), one thread;
# so that a load on the machine weighs on all of them alike.
#
#   bench/run.sh                   every scenario
#   bench/run.sh year1 seg10 ...   only these scenarios
#
# Environment: REPS (default 3), REPS_LONG (repetitions of the 20-year run,
# default REPS), OLD_REF, BENCH_CPU (the core the one-thread runs are pinned
# to, default the last one; empty: no pinning).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
WORK="$BUILD/scenarios"
REPS=${REPS:-3}
REPS_LONG=${REPS_LONG:-$REPS}
OLD_REF=${OLD_REF:-492874e}
RAW="$BUILD/raw.tsv"

if [[ ! -x /usr/bin/time ]]; then
  echo "bench/run.sh: /usr/bin/time is missing (install the package 'time')" >&2
  exit 1
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVAN_TESTS=OFF -DKORVAN_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target bench

# The previous release, built once per reference.
OLD="$BUILD/old"
OLD_SHA=$(git -C "$ROOT" rev-parse "$OLD_REF")
if [[ ! -x "$OLD/build/korvan" ]] || [[ "$(cat "$OLD/ref" 2>/dev/null)" != "$OLD_SHA" ]]; then
  rm -rf "$OLD"
  mkdir -p "$OLD/src"
  git -C "$ROOT" archive "$OLD_SHA" | tar -x -C "$OLD/src"
  cmake -S "$OLD/src" -B "$OLD/build" -DCMAKE_BUILD_TYPE=Release -DKORVAN_TESTS=OFF >/dev/null
  cmake --build "$OLD/build" -j2 --target korvan
  echo "$OLD_SHA" >"$OLD/ref"
fi

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

# timed DIR LABEL COMMAND...: one run in DIR; appends "wall kb" to DIR/LABEL.times.
timed() {
  local dir=$1 label=$2
  shift 2
  rm -f "$dir"/bench.{out,log,sum,hyd,tem,err} "$dir/korvan.ok"
  (cd "$dir" && /usr/bin/time -v -o time.txt "$@" bench >/dev/null)
  [[ -f "$dir/korvan.ok" ]] || { echo "bench/run.sh: $label run of $dir failed" >&2; exit 1; }
  echo "$(grep 'Elapsed (wall clock)' "$dir/time.txt" | awk '{print $NF}' | seconds)" \
    "$(grep 'Maximum resident set size' "$dir/time.txt" | awk '{print $NF}')" >>"$dir/$label.times"
}
# The median wall time and peak memory of a label.
wall() { awk '{print $1}' "$1/$2.times" | median; }
peak() { awk '{print $2}' "$1/$2.times" | median; }

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
  implicit=""
  if [[ $name == year* ]]; then
    implicit="$WORK/$name-implicit"
    rm -rf "$implicit"
    cp -r "$dir" "$implicit"
    sed -i 's/^Calc\( *OptTimStp\)/Implicit\1/' "$implicit/bench.kvn"
  fi
  reps=$REPS
  [[ $name == year20 ]] && reps=$REPS_LONG
  for ((r = 1; r <= reps; r++)); do
    timed "$dir" old "${PIN[@]}" "$OLD/build/korvan"
    timed "$dir" one "${PIN[@]}" "$BUILD/korvan" --threads 1
    timed "$dir" two env OMP_WAIT_POLICY=ACTIVE "$BUILD/korvan" --threads 2
    [[ -n $implicit ]] && timed "$implicit" implicit "${PIN[@]}" "$BUILD/korvan" --threads 1
  done
  # The substance pass alone: the same scenario reading back the hydrology
  # and temperature files of the last run, on one thread.
  sed -i -e 's/^OnLine\( *OptHyd\)/OffLine\1/' -e 's/^OnLine\( *OptTem\)/OffLine\1/' "$dir/bench.kvn"
  passes=() stats=""
  for ((r = 1; r <= reps; r++)); do
    stats=$(cd "$dir" && OMP_NUM_THREADS=1 "${PIN[@]}" "$BUILD/korvan_pass_stats" bench)
    passes+=("$(sed 's/.*seconds=\([^ ]*\).*/\1/' <<<"$stats")")
  done
  pass=$(printf '%s\n' "${passes[@]}" | median)
  substeps=$(sed 's/.*substeps=\([^ ]*\).*/\1/' <<<"$stats")
  iters=$(sed 's/.*cell_iterations=\([^ ]*\).*/\1/' <<<"$stats")
  hours=$(grep -vc '^\*' "$dir/Bench.met")
  seg=$(awk '/^table WaterBody/{getline; getline; getline; print $2}' "$dir/bench.kvn")
  lay=$(awk '/^table SedimentProfile/{getline; getline; getline; a=$2; getline; print a+$2}' "$dir/bench.kvn")
  cmp=$(awk '/^table compounds/{n=0; while ((getline l) > 0 && l != "end_table") n++; print n}' "$dir/bench.kvn")
  impl_wall=- impl_kb=-
  if [[ -n $implicit ]]; then impl_wall=$(wall "$implicit" implicit) impl_kb=$(peak "$implicit" implicit); fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$dim" "$value" \
    "$hours" "$seg" "$lay" "$cmp" "$(wall "$dir" old)" "$(wall "$dir" one)" "$(wall "$dir" two)" \
    "$(peak "$dir" old)" "$(peak "$dir" one)" "$pass" "$substeps" "$iters" "$impl_wall" "$impl_kb" | tee -a "$RAW"
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

"${PIN[@]}" "$BUILD/korvan_pow_bench" --benchmark_filter=FreundlichPow --benchmark_repetitions="$REPS" \
  --benchmark_format=json >"$BUILD/pow.json" 2>/dev/null

python3 "$ROOT/bench/report.py" --raw "$RAW" --pow "$BUILD/pow.json" --reps "$REPS" --reps-long "$REPS_LONG" \
  --load-before "$LOAD_BEFORE" --load-after "$LOAD_AFTER" --pinned "${CPU:-none}" \
  --old-ref "$OLD_REF ($OLD_SHA)" --keep "$ROOT/bench/results.md" \
  --root "$ROOT" >"$BUILD/results.md"
mv "$BUILD/results.md" "$ROOT/bench/results.md"
echo "bench/results.md written"
