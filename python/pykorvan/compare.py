"""Comparison of two runs: overlaid figures and the differences of PEC and TWA."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from pykorvan import figures
from pykorvan.html import figure, page, table
from pykorvan.readers import Run, read_run
from pykorvan.readers.summary import SummaryFile


@dataclass
class Difference:
    """A PEC or TWA value of run A and of run B and their difference (B - A)."""

    compound: str
    quantity: str
    unit: str
    a: Optional[float]
    b: Optional[float]

    @property
    def difference(self) -> Optional[float]:
        """Return B - A (None when either is missing)."""
        return None if self.a is None or self.b is None else self.b - self.a

    @property
    def relative_percent(self) -> Optional[float]:
        """Return (B - A) / A in percent (None when A is missing or 0)."""
        d = self.difference
        return None if d is None or not self.a else 100.0 * d / self.a


def _values(s: SummaryFile, compound: str) -> dict[str, tuple[str, Optional[float]]]:
    """Return every PEC and TWA value of a compound, keyed by a readable name."""
    out: dict[str, tuple[str, Optional[float]]] = {}
    if compound in s.results:
        out["result (project summary)"] = ("ug.L-1", s.results[compound])
    for medium, unit in (("water", "ug.L-1"), ("sediment", "ug.kg-1")):
        top = s.global_maximum(compound, medium)
        if top is not None:
            out[f"global maximum {medium}"] = (unit, top.value)
        for kind in ("pec", "twa"):
            for r in s.pec_rows(compound, medium, kind):
                label = "PEC" if kind == "pec" else "TWA"
                out[f"{label} {medium} {r.days} d"] = (unit, r.value)
    if compound in s.percentile_peaks:
        out["target percentile peak"] = ("ug.L-1", s.percentile_peaks[compound])
    for t in s.twa_targets:
        if t.compound == compound:
            out[f"TWA target {t.target} ({t.window_days:g} d)"] = ("ug.L-1", t.value)
    return out


def differences(a: Run, b: Run) -> list[Difference]:
    """Return the differences of every PEC and TWA value of the compounds of both runs."""
    rows: list[Difference] = []
    compounds = list(dict.fromkeys(a.summary.compounds + b.summary.compounds))
    for c in compounds:
        va, vb = _values(a.summary, c), _values(b.summary, c)
        for key in dict.fromkeys(list(va) + list(vb)):
            unit = (va.get(key) or vb.get(key) or ("", None))[0]
            rows.append(Difference(c, key, unit, va.get(key, ("", None))[1],
                                   vb.get(key, ("", None))[1]))
    return rows


def _number(v: Optional[float], fmt: str = ".6g") -> str:
    return "-" if v is None else format(v, fmt)


def labels(a: Run, b: Run) -> tuple[str, str]:
    """Return the names of the two runs: their identifiers, or folders when equal."""
    if a.run_id != b.run_id:
        return a.run_id, b.run_id
    return f"{a.folder.name}/{a.run_id}", f"{b.folder.name}/{b.run_id}"


def difference_text(a: Run, b: Run) -> str:
    """Return the table of differences as aligned text for the terminal."""
    la, lb = labels(a, b)
    header = ("compound", "quantity", "unit", la, lb, "B - A", "(B-A)/A %")
    rows = [(d.compound, d.quantity, d.unit, _number(d.a), _number(d.b),
             _number(d.difference), _number(d.relative_percent, ".3g"))
            for d in differences(a, b)]
    widths = [max(len(str(r[j])) for r in [header] + rows) for j in range(len(header))]
    lines = []
    for r in [header] + rows:
        lines.append("  ".join(str(v).ljust(w) if j < 3 else str(v).rjust(w)
                               for j, (v, w) in enumerate(zip(r, widths))))
    lines.insert(1, "-" * len(lines[0]))
    return "\n".join(lines) + "\n"


def compare_html(a: Run, b: Run) -> str:
    """Return the comparison page: overlaid figures and the differences table."""
    la, lb = labels(a, b)
    runs = [(la, a), (lb, b)]
    diffs = differences(a, b)
    body = [f"<p>Run A: <b>{la}</b> ({a.folder}); run B: <b>{lb}</b> ({b.folder}).</p>",
            "<section id=\"differences\">", "<h2>Differences of PEC and TWA values</h2>",
            table(["compound", "quantity", "unit", la, lb, "B - A", "(B-A)/A %"],
                  [(d.compound, d.quantity, d.unit, _number(d.a), _number(d.b),
                    _number(d.difference), _number(d.relative_percent, ".3g")) for d in diffs],
                  "differences", text_columns=3),
            "</section>"]
    for c in dict.fromkeys(a.summary.compounds + b.summary.compounds):
        body += [f"<section id=\"compound-{c}\">", f"<h2>Compound {c}</h2>",
                 figure(figures.concentration_figure(runs, c), f"fig-concentration-{c}",
                        "Concentration at the downstream end and target-layer sediment "
                        "content of both runs; triangles mark the global maxima."),
                 figure(figures.mass_balance_figure(runs, c), f"fig-mass-balance-{c}",
                        "Monthly mass balance terms (g), run A plain, run B hatched."),
                 "</section>"]
    body += ["<section id=\"water\">", "<h2>Water body</h2>",
             figure(figures.hydrology_figure(runs), "fig-hydrology", "Depth and discharge."),
             figure(figures.temperature_figure(runs), "fig-temperature", "Water temperature."),
             "</section>"]
    return page(f"KORVAN runs compared: {la} and {lb}", body)


def compare_folders(folder_a: Path | str, folder_b: Path | str,
                    out: Optional[Path | str] = None) -> tuple[str, Path]:
    """Compare two runs; return the terminal table and the path of the page written.

    Without ``out`` the page is ``compare_<A>_<B>.html`` in the current folder.
    """
    a, b = read_run(folder_a), read_run(folder_b)
    la, lb = labels(a, b)
    target = Path(out) if out else Path(f"compare_{a.run_id}_{b.run_id}.html")
    if target.is_dir():
        target = target / f"compare_{a.run_id}_{b.run_id}.html"
    target.write_text(compare_html(a, b), encoding="utf-8")
    return difference_text(a, b), target
