"""The visual report of a run: RunId.html, one self-contained page."""

from __future__ import annotations

from html import escape
from pathlib import Path
from typing import Optional

from pykorvan import figures
from pykorvan.html import figure, page, table
from pykorvan.readers import Run, read_run
from pykorvan.readers.summary import PEC_DAYS, SummaryFile


def scenario_html(run: Run) -> str:
    """Return the scenario in brief: edition, water body, period, compounds, loadings."""
    s = run.summary
    h = s.header
    start, end = s.period
    water_body = " ".join(x for x in (run.log.water_body if run.log else "",
                                      f"({h.get('Water Body Type', '-')})") if x)
    rows = [("Run", run.run_id), ("Edition", s.edition or "-"),
            ("Scenario", h.get("Scenario", "-")), ("Water body", water_body),
            ("Flow type", h.get("Flow Type", "-")), ("Meteo station", h.get("Meteo Station", "-")),
            ("Substance", h.get("Substance", "-")),
            ("Period", f"{start:%d-%b-%Y} to {end:%d-%b-%Y}" if start and end else "-"),
            ("Compounds", ", ".join(s.compounds)),
            ("Lateral entries", s.lateral_entries or "-")]
    if run.log and run.log.segments:
        length = run.log.segments[-1].x_bou_m
        rows.insert(4, ("Length, segments", f"{length:g} m, {len(run.log.segments)} segments"))
    parts = ["<section id=\"scenario\">", "<h2>Scenario</h2>",
             table(["", ""], rows, "scenario", text_columns=2)]
    if s.events:
        parts += ["<h3>Loadings by spray drift</h3>", table(
            ["event", "date", "mass [g.ha-1]", "deposition [mg.m-2]"],
            [(e.number, e.date, e.mass_g_ha, e.deposition_mg_m2) for e in s.events],
            "events", text_columns=2)]
    if s.lateral_fluxes:
        parts += ["<h3>Maximum hourly fluxes from lateral entries</h3>", table(
            ["year", "type", "water/substance", "flux", "unit", "date"],
            [(f.year, f.kind, f.subject, f.text, f.unit, f.date) for f in s.lateral_fluxes],
            "fluxes", text_columns=3)]
    parts.append("</section>")
    return "\n".join(parts)


def pec_table_html(s: SummaryFile, compound: str) -> str:
    """Return the PEC and TWA table of a compound (MERIX), values as written."""
    columns = [("water", "pec", "PECsw [ug.L-1]"), ("water", "twa", "TWAECsw [ug.L-1]"),
               ("sediment", "pec", "PECsed [ug.kg-1]"), ("sediment", "twa", "TWAECsed [ug.kg-1]")]
    header = ["days"]
    for _, _, label in columns:
        header += [label, "date"]
    rows: list[list[object]] = []
    top = ["global maximum"]
    for medium, kind, _ in columns:
        row = s.global_maximum(compound, medium) if kind == "pec" else None
        top += [row.text, row.date] if row else ["", ""]
    rows.append(top)
    for i, days in enumerate(PEC_DAYS):
        line: list[object] = [str(days)]
        for medium, kind, _ in columns:
            found = s.pec_rows(compound, medium, kind)
            r = found[i] if i < len(found) else None
            line += [r.text if r and r.value is not None else "", r.date if r else ""]
        rows.append(line)
    return table(header, rows, "pec", row_classes=["max"])


def percentile_html(s: SummaryFile, compound: str) -> str:
    """Return the target percentile and TWA target tables of a compound (ZR, BRAX)."""
    ranked = [p for p in s.percentiles if p.compound == compound and p.table == "target"]
    parts = [table(["rank", "identifier", "percent [%]", "ConLiqWatLayTgt [ug.L-1]", "year"],
                   [(p.rank, p.identifier, p.percent, p.concentration_ug_l, p.year)
                    for p in ranked], "percentiles", text_columns=2)]
    if compound in s.percentile_peaks:
        peak = s.percentile_peaks[compound]
        parts.append(f"<p>Target percentile peak: <b>{peak:g}</b> ug/L</p>")
    targets = [t for t in s.twa_targets if t.compound == compound]
    if targets:
        parts.append(table(["target", "window [d]", "evaluation period", "window", "TWA [ug.L-1]"],
                           [(t.target, t.window_days,
                             f"{t.evaluation_start} to {t.evaluation_end}",
                             f"{t.start} to {t.end}", t.text) for t in targets],
                           "twa", text_columns=1))
    return "\n".join(parts)


def exposure_tables_html(s: SummaryFile, compound: str) -> str:
    """Return the exposure tables a run has for a compound."""
    if s.global_maximum(compound) is not None:
        return pec_table_html(s, compound)
    if any(p.compound == compound for p in s.percentiles) or s.twa_targets:
        return percentile_html(s, compound)
    return "<p class=\"note\">This run has no exposure tables (result " \
        f"{s.results.get(compound, 0):g} ug/L).</p>"


def compound_html(run: Run, compound: str) -> str:
    """Return the section of a compound: curves, mass balance and exposure tables."""
    runs = [(run.run_id, run)]
    water = figures.water_curve(run, compound)
    source = water.source if water else "not printed"
    return "\n".join([
        f"<section id=\"compound-{escape(compound)}\">", f"<h2>Compound {escape(compound)}</h2>",
        figure(figures.concentration_figure(runs, compound), f"fig-concentration-{compound}",
               f"Concentration at the downstream end ({source}) and target-layer sediment "
               "content; the triangle marks the global maximum of the summary (or, without "
               "one, the highest value drawn)."),
        f"<h3>PEC and TWA of {escape(compound)}</h3>", exposure_tables_html(run.summary, compound),
        figure(figures.mass_balance_figure(runs, compound), f"fig-mass-balance-{compound}",
               "Monthly mass balance terms (g): gains above zero, losses below."),
        "</section>"])


def report_html(run: Run) -> str:
    """Return the whole report page of a run."""
    runs = [(run.run_id, run)]
    body = [scenario_html(run)]
    body += [compound_html(run, c) for c in run.summary.compounds]
    body += ["<section id=\"water\">", "<h2>Water body</h2>",
             figure(figures.hydrology_figure(runs), "fig-hydrology",
                    "Water depth and discharge at the downstream end."),
             figure(figures.temperature_figure(runs), "fig-temperature",
                    "Water temperature of the temperature pass."),
             "</section>"]
    if run.summary.warnings:
        body.insert(0, "<p class=\"note\">The run gave warnings: see RunId.log.</p>")
    return page(f"KORVAN run {run.run_id}", body)


def write_report(folder: Path | str, out: Optional[Path | str] = None) -> Path:
    """Write RunId.html for the run in ``folder``; return its path.

    Without ``out`` the page goes into the run's folder.
    """
    run = read_run(folder)
    target = Path(out) if out else run.folder / f"{run.run_id}.html"
    if target.is_dir():
        target = target / f"{run.run_id}.html"
    target.write_text(report_html(run), encoding="utf-8")
    return target
