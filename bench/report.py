#!/usr/bin/env python3
"""Writes bench/results.md (to standard output) from the raw figures that
bench/run.sh collects. Python 3 standard library only."""

import argparse
import json
import statistics
import subprocess

COLUMNS = ["name", "dim", "value", "hours", "seg", "lay", "cmp", "old", "wall", "two",
           "kb_old", "kb", "pass", "substeps", "iters", "implicit", "kb_implicit"]
# Sections of an earlier results.md that other benchmarks write (kept as they are).
KEPT_SECTIONS = ["## Batch runs side by side"]
# What a profile of the run shows (bench/profile.sh, perf); revised by hand
# when the hot path changes.
WHERE_THE_TIME_GOES = """
Where the time goes afterwards (perf, one thread, the year of the ditch): the
isotherm powers on the vector unit a little under a third (the sediment's
columns, and the suspended solids of the water layer's segments), the rest of
the fixed-point iteration of the columns (storage, division, convergence test,
packing the arguments of the next round's powers) about a fifth, the start of
the step of the columns (right-hand side, first iterate, the column's
advection, dispersion and transformation terms) about a ninth, the end of the
step with the column sums of the balance about a twentieth, and the remaining
third is the work of every sub-step outside the sediment columns (the water
layer, the phases and contents of the sediment, the balance, the moving
windows). The columns of a sub-step go in batches of up to eight, which share
the calls of the power (17 % fewer calls than column by column). Two threads
share the batches and take the water layer's step beside them, but meet at the
end of every sub-step (35 times an hour, every 12 microseconds or so in the
ditch) and leave that remaining third to one thread: in the ditch they gain
little or lose, they gain with many segments (seg1000). On this virtual
machine of two cores their times vary by up to a factor of two from one run
to the next (a thread that loses its core for a moment holds up the other at
the next sub-step), so the two-thread column is the least reliable of the
table."""

# The same for the implicit scheme (perf and callgrind, the year of the ditch).
WHERE_THE_IMPLICIT_TIME_GOES = """
The implicit year spends about two fifths of its time in the scheme's own
step: the Newton iterations (1.9 per compound and hour in the ditch) over the
segments and the sediment columns, whose layers take their storage from the
tangent of their isotherm unless they moved by more than 1e-6 of themselves
(then their powers go together to the vector unit), and whose columns are
eliminated four at a time. The other three fifths are the work of every hour
that the schemes share: the hydrology and temperature passes, writing the
hydrology and temperature files and reading them back (the formatting and
reading of numbers about a quarter of the run), the phases of the sediment,
the balance and the reports. A faster `Calc` lowers the ratio: the explicit
scheme's sub-steps and the implicit step do not share their costs."""


def read_raw(path):
    rows = []
    with open(path) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != len(COLUMNS):
                continue
            r = dict(zip(COLUMNS, parts))
            for key in ["hours", "seg", "lay", "cmp", "kb_old", "kb", "substeps", "iters"]:
                r[key] = int(r[key])
            for key in ["old", "wall", "two", "pass"]:
                r[key] = float(r[key])
            r["implicit"] = None if r["implicit"] == "-" else float(r["implicit"])
            r["kb_implicit"] = None if r["kb_implicit"] == "-" else int(r["kb_implicit"])
            rows.append(r)
    return rows


def pow_ns(path):
    """ns per power: one dependent call, by throughput, and on the vector unit
    (with the unit's name)."""
    with open(path) as f:
        data = json.load(f)
    figures, label = {}, ""
    for name, per in [("FreundlichPow", 1), ("FreundlichPowThroughput", 1024),
                      ("FreundlichPowVector", 1024)]:
        runs = [b for b in data["benchmarks"]
                if b.get("run_type") == "iteration" and b["name"].split("/")[0] == name]
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[runs[0].get("time_unit", "ns")]
        figures[name] = statistics.median(b["real_time"] for b in runs) * scale / per
        label = runs[0].get("label", label) if name == "FreundlichPowVector" else label
    return figures["FreundlichPow"], figures["FreundlichPowThroughput"], \
        figures["FreundlichPowVector"], label


def kept_sections(path):
    """The sections of an earlier results.md that this report does not write."""
    try:
        text = open(path).read()
    except OSError:
        return []
    parts = ["## " + s for s in text.split("\n## ")[1:]]
    return [s.rstrip() for s in parts if any(s.startswith(k) for k in KEPT_SECTIONS)]


def machine():
    model, cores = "unknown", "unknown"
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        for line in out.splitlines():
            key, _, val = line.partition(":")
            if key.strip() == "Model name":
                model = val.strip()
            if key.strip() == "CPU(s)":
                cores = val.strip()
    except OSError:
        pass
    return model, cores


def commit(root):
    def git(*a):
        return subprocess.run(["git", "-C", root, *a], capture_output=True, text=True).stdout
    head = git("rev-parse", "HEAD").strip() or "unknown"
    dirty = git("status", "--porcelain", "--untracked-files=no").strip()
    return head + (" (with uncommitted changes in the tree)" if dirty else "")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--raw", required=True)
    p.add_argument("--pow", required=True)
    p.add_argument("--reps", type=int, default=3)
    p.add_argument("--reps-long", type=int, default=3)
    p.add_argument("--load-before", default="")
    p.add_argument("--load-after", default="")
    p.add_argument("--pinned", default="none")
    p.add_argument("--root", default=".")
    p.add_argument("--old-ref", default="")
    p.add_argument("--keep", default="")
    p.add_argument("--note", default="", help="a remark on this run, printed under the header")
    a = p.parse_args()

    rows = read_raw(a.raw)
    pns, pthr, pvec, isa = pow_ns(a.pow)
    model, cores = machine()
    out = []
    w = out.append
    w("# KORVAN benchmarks\n")
    w(f"- Machine: {model}, {cores} logical CPUs; runs pinned to CPU {a.pinned}")
    w(f"- Load average (1, 5, 15 min) before: {a.load_before}; after: {a.load_after}")
    w(f"- Commit: {commit(a.root)}")
    w(f"- Release build (`build-bench`), median of {a.reps} repetitions "
      f"({a.reps_long} for the 20-year run); "
      "wall time and peak memory from `/usr/bin/time -v` of the whole run")
    w(f"- Previous release: the program built from {a.old_ref}, in the same run")
    w(f"- One `std::pow` on Freundlich arguments (`korvan_pow_bench`): {pns:.1f} ns as dependent "
      f"calls, **{pthr:.1f} ns** by throughput (independent calls), **{pvec:.1f} ns** on the "
      f"vector unit the solver uses ({isa})")
    if a.note:
        w(f"- {a.note}")
    w("")

    w("## Whole runs against the previous release\n")
    w("Every scenario is the MERIX ditch of `examples/ditch` (spray drift on 15 May, "
      "parent and products, 10 m segments, 2.5 mm sediment layers) with one dimension "
      "changed. Each is run, repetition by repetition, with the previous release (one "
      "thread), with this program on one thread (`--threads 1`, pinned to one core) and "
      "on two (`--threads 2`, `OMP_WAIT_POLICY=ACTIVE`). Ratio: the previous release's wall "
      "time over this one's.\n")
    w("| scenario | hours | seg | layers | cmp | previous (s) | 1 thread (s) | ratio "
      "| 2 threads (s) | ratio | peak MB previous / now |")
    w("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for r in rows:
        w(f"| {r['name']} | {r['hours']} | {r['seg']} | {r['lay']} | {r['cmp']} | "
          f"{r['old']:.2f} | {r['wall']:.2f} | **{r['old'] / r['wall']:.2f}** | "
          f"{r['two']:.2f} | **{r['old'] / r['two']:.2f}** | "
          f"{r['kb_old'] / 1024:.1f} / {r['kb'] / 1024:.1f} |")

    implicit = [r for r in rows if r["implicit"] is not None]
    if implicit:
        w("\n## Implicit scheme against Calc, same program\n")
        w("The year scenarios again with `OptTimStp Implicit` (one thread, pinned), beside "
          "the `Calc` runs of the table above.\n")
        w("| scenario | Calc (s) | Implicit (s) | ratio | peak MB Calc / Implicit |")
        w("|---|---:|---:|---:|---|")
        for r in implicit:
            w(f"| {r['name']} | {r['wall']:.2f} | {r['implicit']:.2f} | "
              f"**{r['wall'] / r['implicit']:.1f}** | "
              f"{r['kb'] / 1024:.1f} / {r['kb_implicit'] / 1024:.1f} |")
        w(WHERE_THE_IMPLICIT_TIME_GOES)

    w("\n## Cost per sub-step and cell (one thread)\n")
    w("*Sub-steps* are the substance sub-steps of the run; a *cell* is one sediment "
      "layer under one segment for one compound.\n")
    w("| scenario | scanned | value | sub-steps | ms per sim. hour | ns per seg-layer-substep "
      "| ns per cell-substep |")
    w("|---|---|---|---:|---:|---:|---:|")
    for r in rows:
        sls = r["substeps"] * r["seg"] * r["lay"]
        w(f"| {r['name']} | {r['dim']} | {r['value']} | {r['substeps']} | "
          f"{1e3 * r['wall'] / r['hours']:.3f} | {1e9 * r['wall'] / sls:.1f} | "
          f"{1e9 * r['wall'] / (sls * r['cmp']):.1f} |")

    w("\n## Substance pass per cell iteration\n")
    w("The same scenarios run again with the hydrology and temperature read back "
      "(`OptHyd`, `OptTem` `OffLine`), so that the time is that of the substance pass "
      "(`korvan_pass_stats`, in-process). A cell iteration is one evaluation of a cell's "
      "end-of-step storage in the sediment solver; the count comes from the solver's "
      "counter.\n")
    w("| scenario | substance pass (s) | cell iterations | iterations per cell-substep "
      "| ns per cell-iteration | in powers by throughput |")
    w("|---|---:|---:|---:|---:|---:|")
    for r in rows:
        cells = r["substeps"] * r["seg"] * r["lay"] * r["cmp"]
        per = 1e9 * r["pass"] / r["iters"] if r["iters"] else float("nan")
        w(f"| {r['name']} | {r['pass']:.2f} | {r['iters']} | "
          f"{r['iters'] / cells if cells else float('nan'):.2f} | {per:.1f} | {per / pthr:.2f} |")

    w("\n## Growth with each dimension\n")
    w("Wall time per simulated hour relative to the smallest case of the scan "
      "(linear growth gives the ratio of the dimension).\n")
    w("| scanned | values | dimension ratio | time ratio per sim. hour | peak memory (MB) |")
    w("|---|---|---:|---:|---|")
    scans = {}
    for r in rows:
        scans.setdefault(r["dim"], []).append(r)
    base = next((r for r in rows if r["name"] == "seg10"), None)
    for dim, rs in scans.items():
        if dim in ("layers", "compounds") and base is not None:
            rs = sorted(rs + [base], key=lambda r: {"layers": r["lay"], "compounds": r["cmp"]}[dim])
        if len(rs) < 2:
            continue
        first = rs[0]
        for r in rs[1:]:
            if dim == "printing":
                ratio_dim = "-"
            else:
                key = {"years": "hours", "segments": "seg", "layers": "lay",
                       "compounds": "cmp"}[dim]
                ratio_dim = f"{r[key] / first[key]:.1f}"
            if dim == "years":
                t = r["wall"] / first["wall"]
                label = "total time ratio"
            else:
                t = (r["wall"] / r["hours"]) / (first["wall"] / first["hours"])
                label = ""
            lbl = (lambda x: str(x[{"layers": "lay", "compounds": "cmp"}[dim]])
                   if dim in ("layers", "compounds") else x["value"])
            w(f"| {dim} | {lbl(first)} -> {lbl(r)} | {ratio_dim} | {t:.2f} {label} | "
              f"{first['kb'] / 1024:.1f} -> {r['kb'] / 1024:.1f} |")

    long = next((r for r in rows if r["name"] == "year20"), None)
    if long is not None and long["iters"]:
        cells = long["seg"] * long["lay"] * long["cmp"]
        per_hour = long["substeps"] / long["hours"]
        its = long["iters"] / (long["substeps"] * cells)
        per = 1e9 * long["pass"] / long["iters"]
        w("\n## What bounds the 20-year run\n")
        w(f"The 20-year ditch takes {long['substeps']} substance sub-steps "
          f"({per_hour:.1f} per hour: the stable step of the water layer for 10 m segments "
          f"and the dispersion of the flow), each over {cells} sediment cells with "
          f"{its:.2f} iterations per cell: {long['iters']} cell iterations, and about one "
          f"isotherm power per cell iteration. The substance pass took {long['pass']:.0f} s on "
          f"one thread, {per:.1f} ns per cell iteration, of which the power on the vector "
          f"unit ({pvec:.1f} ns, {isa}) is {pvec / per:.0%}; the scalar power by throughput "
          f"would cost {pthr:.1f} ns alone. The rest of a cell iteration is the storage "
          "and the division of the fixed point, the right-hand side and the column sums "
          "of the balance once per step, and the water layer; the sub-step count that the "
          "stability rule sets multiplies all of it.")
        w(WHERE_THE_TIME_GOES)
    for section in kept_sections(a.keep) if a.keep else []:
        w("\n" + section)
    print("\n".join(out))


if __name__ == "__main__":
    main()
