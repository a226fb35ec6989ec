"""The results of a batch: one CSV table and an HTML page.

The table has a row per run and compound (a failed run has one row without a
compound): the run's number, folder and changed values, its status, exit
code, wall time, the number of warnings in its log and the text of its
error file (lines joined by `` | ``); then, from its summary report, the global maximum and the PEC after
every lag and the TWA of every window of the water layer (ug.L-1) and the
sediment (ug.kg-1), the target-percentile peak and the TWA of every target
(ZR and BRAX), read by :mod:`pykorvan.readers`, and the relative mass-balance errors of water layer and
sediment over the whole run.  The page shows the histogram and the empirical
distribution function of the global maximum and of the 21-day TWA of the
water layer over the batch, per compound, and a table of the failed runs.
"""

from __future__ import annotations

import base64
import csv
import html
import importlib.util
import io
from pathlib import Path

from pykorvan.readers.common import ReaderError

from .batchfile import Batch, RunSpec
from .runner import read_result, run_folder
from .summary_values import exposure_columns, warning_count

GLOBAL_MAX = "GlobalMax_sw [ug.L-1]"
TWA21 = "TWAECsw_21_days [ug.L-1]"


def run_rows(batch: Batch, run: RunSpec) -> list[dict[str, object]]:
    """The rows of one run: one per compound, or one without when it has no results."""
    folder = run_folder(batch, run)
    result = read_result(folder) or {}
    status = result.get("status", "not run")
    common: dict[str, object] = {"run": run.index, "folder": run.name,
                                 "base": run.base.name, "run_id": run.base.run_id}
    common.update(run.parameters)
    common.update({"status": status, "exit_code": result.get("exit_code", ""),
                   "wall_time [s]": result.get("wall_time", ""),
                   "warnings": warning_count(folder / f"{run.base.run_id}.log"),
                   "error": " | ".join((result.get("error") or "").splitlines())})
    summary = folder / f"{run.base.run_id}.sum"
    if status != "ok" or not summary.is_file():
        return [dict(common, compound="")]
    try:
        exposure = exposure_columns(summary)
    except ReaderError as error:
        return [dict(common, compound="", error=f"summary not readable: {error}")]
    return [dict(common, compound=compound, **values) for compound, values in exposure.items()]


def collect_rows(batch: Batch) -> list[dict[str, object]]:
    rows: list[dict[str, object]] = []
    for run in batch.runs:
        rows.extend(run_rows(batch, run))
    return rows


def write_csv(rows: list[dict[str, object]], path: Path) -> None:
    """The table; columns in the order they first occur, empty where a run has none."""
    columns: list[str] = []
    for row in rows:
        columns.extend(key for key in row if key not in columns)
    with open(path, "w", newline="") as handle:
        writer = csv.DictWriter(handle, fieldnames=columns, restval="")
        writer.writeheader()
        for row in rows:
            writer.writerow({k: _text(v) for k, v in row.items()})


def _text(value: object) -> object:
    if value is None:
        return ""
    if isinstance(value, float):
        return repr(value)
    return value


def collect(batch: Batch, csv_path: str | Path | None = None,
            html_path: str | Path | None = None) -> tuple[Path, Path]:
    """Writes the table and the page; returns their paths."""
    rows = collect_rows(batch)
    csv_file = Path(csv_path) if csv_path else batch.output / "results.csv"
    html_file = Path(html_path) if html_path else batch.output / "results.html"
    csv_file.parent.mkdir(parents=True, exist_ok=True)
    html_file.parent.mkdir(parents=True, exist_ok=True)
    write_csv(rows, csv_file)
    html_file.write_text(page(batch, rows))
    return csv_file, html_file


def _figure(values: list[float], title: str) -> str:
    """A histogram and the empirical distribution function, as an inline PNG."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    figure, (left, right) = plt.subplots(1, 2, figsize=(10, 3.6))
    left.hist(values, bins=min(30, max(5, len(values) // 5)), color="#4a7ab5")
    left.set_xlabel(title)
    left.set_ylabel("runs")
    ordered = sorted(values)
    right.step(ordered, [(i + 1) / len(ordered) for i in range(len(ordered))], where="post",
               color="#4a7ab5")
    right.set_xlabel(title)
    right.set_ylabel("fraction of runs at or below")
    right.set_ylim(0, 1)
    figure.tight_layout()
    buffer = io.BytesIO()
    figure.savefig(buffer, format="png", dpi=90)
    plt.close(figure)
    data = base64.b64encode(buffer.getvalue()).decode("ascii")
    return f'<img alt="{html.escape(title)}" src="data:image/png;base64,{data}">'


def _numbers(rows: list[dict[str, object]], compound: str, column: str) -> list[float]:
    return [float(r[column]) for r in rows if r.get("compound") == compound
            and isinstance(r.get(column), (int, float))]


def page(batch: Batch, rows: list[dict[str, object]]) -> str:
    """The HTML page of the batch."""
    done = sum(1 for run in batch.runs
               if (read_result(run_folder(batch, run)) or {}).get("status") == "ok")
    failed = [r for r in rows if r["status"] not in ("ok",)]
    parts = [f"<!DOCTYPE html><html><head><meta charset='utf-8'>"
             f"<title>Batch {html.escape(batch.path.name)}</title>"
             "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}"
             "td,th{border:1px solid #999;padding:2px 6px;text-align:left}</style></head><body>",
             f"<h1>Batch {html.escape(batch.path.name)}</h1>",
             f"<p>{len(batch.runs)} runs: {done} ended normally, {len(failed)} without "
             "results.</p>"]
    compounds = list(dict.fromkeys(str(r["compound"]) for r in rows if r.get("compound")))
    plotting = importlib.util.find_spec("matplotlib") is not None
    if not plotting:
        parts.append("<p>No figures: matplotlib is not installed.</p>")
    for compound in compounds:
        parts.append(f"<h2>{html.escape(compound)}</h2>")
        for column, title in ((GLOBAL_MAX, "global maximum in the water layer (ug/L)"),
                              (TWA21, "21-day TWA in the water layer (ug/L)")):
            values = _numbers(rows, compound, column)
            if not values:
                parts.append(f"<p>No {html.escape(title)} in any run.</p>")
            elif plotting:
                parts.append(f"<h3>{html.escape(title)}: {len(values)} runs</h3>")
                parts.append(_figure(values, title))
    parts.append("<h2>Runs without results</h2>")
    if failed:
        parts.append("<table><tr><th>run</th><th>folder</th><th>status</th>"
                     "<th>exit code</th><th>message</th></tr>")
        for row in failed:
            run = batch.runs[int(row["run"]) - 1]
            message = (read_result(run_folder(batch, run)) or {}).get("error", "")
            parts.append("<tr>" + "".join(
                f"<td>{html.escape(str(v))}</td>" for v in
                (row["run"], row["folder"], row["status"], row["exit_code"]))
                + f"<td><pre>{html.escape(message)}</pre></td></tr>")
        parts.append("</table>")
    else:
        parts.append("<p>None.</p>")
    parts.append("</body></html>\n")
    return "\n".join(parts)
