#!/usr/bin/env python3
"""Times a 100-run batch of a short scenario one run at a time (the sum of
the single runs' times) and with two runs at once, twice each in the order
one, two, two, one, and prints a section of bench/results.md with the means
and the ratio to the ideal (the sum divided by the two cores).

    bench/batch_speed.py [--korvan build/korvan] [--runs 100] [--jobs 2]
"""

import argparse
import json
import os
import resource
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "python"))

from pykorvan.batch.batchfile import load_batch  # noqa: E402
from pykorvan.batch.runner import run_batch  # noqa: E402


def timed_batch(folder: Path, korvan: Path, runs: int, jobs: int, output: str):
    path = folder / f"{output}.toml"
    path.write_text(f"""korvan = "{korvan}"
output = "{output}"
[[base]]
folder = "{ROOT / 'examples' / 'ditch'}"
[base.set]
TimStart = "01-May-1980"
TimEnd = "20-May-1980"
[[variation]]
kind = "sample"
n = {runs}
seed = 20
DT50WatRef_CMP = {{ distribution = "log-uniform", low = 1, high = 100 }}
""")
    batch = load_batch(path)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    results = run_batch(batch, jobs=jobs, progress=False)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    assert all(r.status == "ok" for r in results), "a run of the benchmark failed"
    single = sum(json.loads((batch.output / r.name / "batch.json").read_text())["wall_time"]
                 for r in batch.runs)
    return wall, single, cpu


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--korvan", default=str(ROOT / "build" / "korvan"))
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    korvan = Path(args.korvan).resolve()
    load_before = os.getloadavg()
    figures: dict[int, list[tuple[float, float, float]]] = {1: [], args.jobs: []}
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp)
        # One at a time, at once, at once, one at a time: a load on the machine
        # that drifts meanwhile weighs on both alike.
        for number, jobs in enumerate((1, args.jobs, args.jobs, 1)):
            figures[jobs].append(timed_batch(folder, korvan, args.runs, jobs, f"b{number}"))
    load_after = os.getloadavg()

    def mean(jobs: int, column: int) -> float:
        return sum(f[column] for f in figures[jobs]) / len(figures[jobs])
    serial_wall, single_sum, serial_cpu = mean(1, 0), mean(1, 1), mean(1, 2)
    wall, cpu = mean(args.jobs, 0), mean(args.jobs, 2)
    ideal = single_sum / args.jobs
    print(f"""## Batch runs side by side

A batch of {args.runs} runs of the ditch cut to 1-20 May 1980 (DT50 sampled), run by
`pykorvan batch run` (`bench/batch_speed.py`) one run at a time and {args.jobs} at
once on {os.cpu_count()} logical CPUs, in the order one, {args.jobs}, {args.jobs}, one; each figure
is the mean of its two batches.

- Load average (1, 5, 15 min) before: {' '.join(f'{x:.2f}' for x in load_before)}; after: {' '.join(f'{x:.2f}' for x in load_after)}

| measure | value |
|---|---:|
| sum of the single runs' wall times (s) | {single_sum:.1f} |
| batch one at a time, wall (s) | {serial_wall:.1f} |
| batch one at a time, CPU of the runs (s) | {serial_cpu:.1f} |
| batch {args.jobs} at once, wall (s) | {wall:.1f} |
| batch {args.jobs} at once, CPU of the runs (s) | {cpu:.1f} |
| ideal: sum / {args.jobs} (s) | {ideal:.1f} |
| wall / ideal (bound 1.10) | {wall / ideal:.2f} |
""")
    return 0 if wall <= 1.1 * ideal else 1


if __name__ == "__main__":
    sys.exit(main())
