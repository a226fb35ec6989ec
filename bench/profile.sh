#!/usr/bin/env bash
# Instruction profile of the benchmark ditch (bench/generate.py: 10 segments,
# 20 sediment layers, parent and product, spray drift on 15 May) over one
# month of hourly weather, May 1980, under valgrind --tool=callgrind. The
# counts are the same on every run, so a change in the hot path shows as a
# change in the table. A month costs about a minute under callgrind; one
# year, or the twenty years of the long benchmark, repeat the same hours.
#
#   bench/profile.sh            writes bench/profile.md
#   START=01-Jan-1980 END=31-Dec-1980 bench/profile.sh   another period
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-profile"
WORK="$BUILD/scenario"
START=${START:-01-May-1980}
END=${END:-31-May-1980}
TOP=${TOP:-25}

if ! command -v valgrind >/dev/null || ! command -v callgrind_annotate >/dev/null; then
  echo "bench/profile.sh: valgrind is missing (install the package 'valgrind')" >&2
  exit 1
fi

# Optimised code with line information, so that the counts name the source.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVAN_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target korvan

rm -rf "$WORK"
python3 "$ROOT/bench/generate.py" "$WORK" --start "$START" --end "$END"
(cd "$WORK" && valgrind --tool=callgrind --callgrind-out-file=callgrind.out \
  "$BUILD/korvan" bench >/dev/null 2>valgrind.txt)

# The function names without argument lists and library paths.
table() {
  callgrind_annotate "$@" "$WORK/callgrind.out" 2>/dev/null |
    awk -v top="$TOP" '
      /PROGRAM TOTALS/ {next}
      match($0, /^ *[0-9,]+ +\( *[0-9.]+%\) +/) {
        head = substr($0, 1, RLENGTH); name = substr($0, RLENGTH + 1)
        split(head, h, "(")
        ir = h[1]; gsub(/ /, "", ir)
        pct = h[2]; gsub(/[ )]/, "", pct)
        sub(/ \[[^]]*\]$/, "", name)
        colon = index(name, ":")
        file = substr(name, 1, colon - 1); sub(/.*\//, "", file)
        fn = substr(name, colon + 1)
        if (file == "???" || file == "") next
        gsub(/\(anonymous namespace\)/, "<anon>", fn)
        if (fn !~ /^\(below main\)/) sub(/\(.*$/, "", fn)
        gsub(/<anon>/, "(anonymous namespace)", fn)
        if (++rows > top) next
        printf "| %s | %s | `%s` | %s |\n", ir, pct, fn, file
      }'
}

TOTAL=$(grep -m1 'summary:' "$WORK/callgrind.out" | awk '{print $2}')
# Before the profile file is opened for writing, which would itself count as a change.
DIRTY=$(git -C "$ROOT" diff --quiet || echo ' (with uncommitted changes in the tree)')
{
  echo "# KORVAN instruction profile"
  echo
  echo "- Commit: $(git -C "$ROOT" rev-parse HEAD)$DIRTY"
  echo "- Scenario: \`bench/generate.py --start $START --end $END\` (10 segments, 20 layers, 2 compounds, hourly)"
  echo "- \`valgrind --tool=callgrind\` of a RelWithDebInfo build; $(printf "%'d" "$TOTAL") instructions in all"
  echo "- valgrind knows no AVX-512: the profile is that of the AVX2 path (vector powers four at a time, the column iteration in plain C++)"
  echo
  echo "## Own instructions (top $TOP)"
  echo
  echo "| instructions | share | function | file |"
  echo "|---:|---:|---|---|"
  table
  echo
  echo "## Including callees (top $TOP)"
  echo
  echo "| instructions | share | function | file |"
  echo "|---:|---:|---|---|"
  table --inclusive=yes
} >"$ROOT/bench/profile.md"
echo "bench/profile.md written"
