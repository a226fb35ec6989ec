#!/usr/bin/env python3
"""Writes bench/results.md (to standard output) from the raw figures that
bench/run.sh collects. Python 3 standard library only."""

import argparse
import json
import statistics
import subprocess

COLUMNS = ["name", "dim", "value", "hours", "seg", "lay", "cmp", "wall", "kb", "pass",
           "substeps", "iters"]


def read_raw(path):
    rows = []
    with open(path) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != len(COLUMNS):
                continue
            r = dict(zip(COLUMNS, parts))
            for key in ["hours", "seg", "lay", "cmp", "kb", "substeps", "iters"]:
                r[key] = int(r[key])
            for key in ["wall", "pass"]:
                r[key] = float(r[key])
            rows.append(r)
    return rows


def pow_ns(path):
    with open(path) as f:
        data = json.load(f)
    times = [b["real_time"] for b in data["benchmarks"]
             if b.get("run_type") == "iteration" and b["name"].startswith("FreundlichPow")]
    unit = data["benchmarks"][0].get("time_unit", "ns")
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[unit]
    return statistics.median(times) * scale


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
    a = p.parse_args()

    rows = read_raw(a.raw)
    pns = pow_ns(a.pow)
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
    w(f"- One `std::pow` on Freundlich arguments (`korvan_pow_bench`): **{pns:.1f} ns**\n")

    w("## Whole runs\n")
    w("Every scenario is the MERIX ditch of `examples/ditch` (spray drift on 15 May, "
      "parent and products, 10 m segments, 2.5 mm sediment layers) with one dimension "
      "changed. *Sub-steps* are the substance sub-steps of the run; a *cell* is one "
      "sediment layer under one segment for one compound.\n")
    w("| scenario | scanned | value | hours | seg | layers | cmp | wall (s) | peak (MB) "
      "| sub-steps | ms per sim. hour | ns per seg-layer-substep | ns per cell-substep |")
    w("|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for r in rows:
        sls = r["substeps"] * r["seg"] * r["lay"]
        w(f"| {r['name']} | {r['dim']} | {r['value']} | {r['hours']} | {r['seg']} | "
          f"{r['lay']} | {r['cmp']} | {r['wall']:.2f} | {r['kb'] / 1024:.1f} | "
          f"{r['substeps']} | {1e3 * r['wall'] / r['hours']:.3f} | "
          f"{1e9 * r['wall'] / sls:.1f} | {1e9 * r['wall'] / (sls * r['cmp']):.1f} |")

    w("\n## Substance pass per cell iteration\n")
    w("The same scenarios run again with the hydrology and temperature read back "
      "(`OptHyd`, `OptTem` `OffLine`), so that the time is that of the substance pass "
      "(`korvan_pass_stats`, in-process). A cell iteration is one evaluation of a cell's "
      "end-of-step storage in the sediment solver; the count comes from the solver's "
      "counter.\n")
    w("| scenario | substance pass (s) | cell iterations | iterations per cell-substep "
      "| ns per cell-iteration | ratio to one pow |")
    w("|---|---:|---:|---:|---:|---:|")
    for r in rows:
        cells = r["substeps"] * r["seg"] * r["lay"] * r["cmp"]
        per = 1e9 * r["pass"] / r["iters"] if r["iters"] else float("nan")
        w(f"| {r['name']} | {r['pass']:.2f} | {r['iters']} | "
          f"{r['iters'] / cells if cells else float('nan'):.2f} | {per:.1f} | {per / pns:.2f} |")

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
        floor = long["iters"] * pns * 1e-9
        w("\n## What bounds the 20-year run\n")
        w(f"The 20-year ditch takes {long['substeps']} substance sub-steps "
          f"({per_hour:.1f} per hour: the stable step of the water layer for 10 m segments "
          f"and the dispersion of the flow), each over {cells} sediment cells with "
          f"{its:.2f} iterations per cell: {long['iters']} cell iterations. At one `pow` "
          f"per cell iteration ({pns:.1f} ns) that alone is {floor:.0f} s; the whole run "
          f"took {long['wall']:.0f} s, of which the substance pass {long['pass']:.0f} s "
          f"({1e9 * long['pass'] / long['iters']:.1f} ns per cell iteration). A run of "
          f"30 s would need {30e9 / long['iters']:.1f} ns per cell iteration, "
          f"{30e9 / long['iters'] / pns:.2f} of one `pow`: the sub-step count that "
          "the stability rule sets, not the cost per cell, bounds the run.")
    print("\n".join(out))


if __name__ == "__main__":
    main()
