"""Export of a run's tables as CSV and of its headline results as JSON.

CSV files are UTF-8 with a header row; a column of values carries its unit
in the header (``DepWat [m]``) or, in the long tables, a ``unit`` column
beside ``value``; moments are ISO 8601 (``1980-05-15T09:00``).
"""

from __future__ import annotations

import csv
import datetime as dt
import json
from pathlib import Path
from typing import Any, Iterable, Optional

from pykorvan.readers import Run, read_run
from pykorvan.readers.series import TimeSeries
from pykorvan.readers.summary import SummaryFile

MEDIUM_UNITS = {"water": "ug.L-1", "sediment": "ug.kg-1"}


def _cell(value: Any) -> str:
    """Return the CSV text of a value: floats exact, moments ISO 8601."""
    if value is None:
        return ""
    if isinstance(value, bool):
        return "Yes" if value else "No"
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, dt.datetime):
        return value.strftime("%Y-%m-%dT%H:%M")
    return str(value)


def write_csv(path: Path, header: list[str], rows: Iterable[Iterable[Any]]) -> Path:
    """Write rows under a header row to a UTF-8 CSV file; return its path."""
    with path.open("w", encoding="utf-8", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(header)
        for row in rows:
            writer.writerow([_cell(v) for v in row])
    return path


def _series_csv(path: Path, series: TimeSeries, lead: Optional[list[str]] = None,
                lead_values: Optional[list[Any]] = None) -> Path:
    header = (lead or []) + ["time [d]", "moment", "date"] + [c.label for c in series.columns]
    rows = ((lead_values or []) + [t, m, d] + v for t, m, d, v in
            zip(series.times, series.moments, series.dates, series.values))
    return write_csv(path, header, rows)


def _summary_tables(s: SummaryFile, base: str, folder: Path) -> list[Path]:
    """Write the tables of the summary; return the files written."""
    written = []

    def put(name: str, header: list[str], rows: list[list[Any]]) -> None:
        if rows:
            written.append(write_csv(folder / f"{base}_{name}.csv", header, rows))

    put("events", ["number", "moment", "date", "mass [g.ha-1]", "deposition [mg.m-2]"],
        [[e.number, e.moment, e.date, e.mass_g_ha, e.deposition_mg_m2] for e in s.events])
    put("lateral_fluxes", ["year", "kind", "subject", "value", "unit", "moment", "date"],
        [[f.year, f.kind, f.subject, f.value, f.unit, f.moment, f.date]
         for f in s.lateral_fluxes])
    put("water_balance", ["year", "month", "identifier", "complete"]
        + [f"{c} [m3]" for c in s.water_balance_columns],
        [[r.year, r.month, r.identifier, r.complete] + list(r.terms.values())
         for r in s.water_balance])
    for system in ("water", "sediment"):
        rows = [r for r in s.mass_balance if r.system == system]
        if rows:
            names = list(rows[0].terms)
            put(f"mass_balance_{system}",
                ["compound", "year", "month", "complete"] + [f"{n} [g]" for n in names],
                [[r.compound, r.year, r.month, r.complete] + [r.terms[n] for n in names]
                 for r in rows])
    put("percentiles", ["compound", "table", "rank", "identifier", "percent [%]",
                        "ConLiqWatLayTgt [ug.L-1]", "year"],
        [[p.compound, p.table, p.rank, p.identifier, p.percent, p.concentration_ug_l, p.year]
         for p in s.percentiles])
    put("annual_maxima", ["compound", "year", "ConLiqWatLay [ug.L-1]", "moment", "date", "day"],
        [[a.compound, a.year, a.value, a.moment, a.date, a.day] for a in s.annual_maxima])
    put("pec_twa", ["compound", "medium", "kind", "name", "days [d]", "value", "unit", "moment",
                    "date", "day"],
        [[p.compound, p.medium, p.kind, p.name, p.days, p.value, MEDIUM_UNITS[p.medium],
          p.moment, p.date, p.day] for p in s.pec])
    put("twa_targets", ["compound", "target", "window [d]", "evaluation start", "evaluation end",
                        "start", "end", "end moment", "TWA [ug.L-1]"],
        [[t.compound, t.target, t.window_days, t.evaluation_start, t.evaluation_end, t.start,
          t.end, t.end_moment, t.value] for t in s.twa_targets])
    return written


def headline(run: Run) -> dict[str, Any]:
    """Return the headline results of a run per compound (JSON-ready).

    Per compound: the result of the project summary (ug/L), the global
    maxima of water (ug/L) and sediment (ug/kg) with their moments, the PEC
    and TWA values by days, the target-percentile peak and target TWAs (ZR,
    BRAX) and the annual maxima (MERIX).
    """
    s = run.summary
    start, end = s.period
    compounds: dict[str, Any] = {}
    for c in s.compounds:
        entry: dict[str, Any] = {"result [ug.L-1]": s.results.get(c)}
        for medium, unit in MEDIUM_UNITS.items():
            top = s.global_maximum(c, medium)
            if top is not None:
                entry[f"global_max_{medium} [{unit}]"] = top.value
                entry[f"global_max_{medium}_moment"] = _cell(top.moment)
            for kind in ("pec", "twa"):
                rows = s.pec_rows(c, medium, kind)
                if rows:
                    entry[f"{kind}_{medium} [{unit}]"] = {str(r.days): r.value for r in rows}
        if c in s.percentile_peaks:
            entry["percentile_peak [ug.L-1]"] = s.percentile_peaks[c]
        targets = {t.target: t.value for t in s.twa_targets if t.compound == c}
        if targets:
            entry["twa_targets [ug.L-1]"] = targets
        maxima = {str(a.year): a.value for a in s.annual_maxima if a.compound == c}
        if maxima:
            entry["annual_maxima [ug.L-1]"] = maxima
        compounds[c] = entry
    return {"run_id": run.run_id, "edition": s.edition,
            "scenario": s.header.get("Scenario", ""),
            "start": _cell(start), "end": _cell(end), "compounds": compounds}


def export_run(run: Run, folder: Optional[Path] = None) -> list[Path]:
    """Write every table of a run as CSV and the headline results as JSON.

    Files are named ``<RunId>_<table>.csv`` and ``<RunId>_results.json`` in
    ``folder`` (default: the run's folder). Returns the files written.
    """
    target = Path(folder) if folder else run.folder
    target.mkdir(parents=True, exist_ok=True)
    base = run.run_id
    written = _summary_tables(run.summary, base, target)
    if run.out is not None:
        written.append(write_csv(
            target / f"{base}_out.csv",
            ["time [d]", "moment", "date", "variable", "compound", "segment", "layer", "value",
             "unit"],
            ([r.time, r.moment, r.date, r.variable, r.compound, r.segment, r.layer, r.value,
              r.unit] for r in run.out.rows())))
        if run.out.profiles:
            labels = list(run.out.profiles[0].values)
            written.append(write_csv(
                target / f"{base}_profiles.csv",
                ["time [d]", "moment", "date", "kind", "compound", "segment", "layer"] + labels,
                ([p.time, p.moment, p.date, p.kind, p.compound, p.segment, p.layer]
                 + [p.values.get(k) for k in labels] for p in run.out.profiles)))
    if run.hyd is not None and run.hyd.times:
        written.append(_series_csv(target / f"{base}_hyd.csv", run.hyd))
    if run.tem is not None:
        written.append(_series_csv(target / f"{base}_tem.csv", run.tem))
    if run.xpo is not None:
        for c, table in run.xpo.tables.items():
            written.append(_series_csv(target / f"{base}_xpo_{c}.csv", table,
                                       ["compound", "target year"], [c, table.year]))
    if run.log is not None and run.log.segments:
        written.append(write_csv(
            target / f"{base}_segments.csv",
            ["number", "XBou [m]", "X [m]", "DelX [m]", "LenSeg [m]", "SegOutput"],
            ([g.number, g.x_bou_m, g.x_m, g.del_x_m, g.len_seg_m, g.output]
             for g in run.log.segments)))
    results = target / f"{base}_results.json"
    results.write_text(json.dumps(headline(run), indent=2, ensure_ascii=False) + "\n",
                       encoding="utf-8")
    written.append(results)
    return written


def export_folder(folder: Path | str, out: Optional[Path | str] = None) -> list[Path]:
    """Read the run in ``folder`` and export it; return the files written."""
    return export_run(read_run(folder), Path(out) if out else None)
