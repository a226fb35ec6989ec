"""The values of one run that the batch table holds, taken from the readers
of its summary report and its log."""

from __future__ import annotations

import re
from pathlib import Path

from pykorvan.readers.common import ReaderError
from pykorvan.readers.log import read_log
from pykorvan.readers.summary import MassBalanceRow, SummaryFile, read_summary

_UNITS = {"water": ("sw", "[ug.L-1]"), "sediment": ("sed", "[ug.kg-1]")}
# Balance terms that bring substance in, besides the initial mass.
_ENTERING = {"water": ("AmaDrf", "AmaAtmDep", "AmaDra", "AmaRnO", "AmaSedOut", "AmaUps",
                       "AmaFor"),
             "sediment": ("AmaErs", "AmaWatOut", "AmaFor")}


def warning_count(path: Path) -> int:
    """Warnings in a run's log; 0 without a log."""
    try:
        return len(read_log(path).warnings)
    except (OSError, ReaderError):
        return 0


def exposure_columns(path: Path) -> dict[str, dict[str, float | None]]:
    """Per compound of a summary report, in its order: column name to value
    (None for a lag or window after the end of the run)."""
    summary = read_summary(path)
    columns: dict[str, dict[str, float | None]] = {c: {} for c in summary.compounds}
    for row in summary.pec:
        if row.kind == "max_incl_sus":
            continue
        medium, unit = _UNITS[row.medium]
        if row.kind == "max":
            name = f"GlobalMax_{medium}"
        else:
            name = re.sub(r"\s+", "_", row.name.strip())
        columns.setdefault(row.compound, {})[f"{name} {unit}"] = row.value
    for compound, value in summary.percentile_peaks.items():
        columns.setdefault(compound, {})["TargetPercentilePeak [ug.L-1]"] = value
    for target in summary.twa_targets:
        columns.setdefault(target.compound, {})[f"TWA_{target.target} [ug.L-1]"] = target.value
    for compound in columns:
        for system, name in (("water", "RelErrMasBal_WatLay [-]"),
                             ("sediment", "RelErrMasBal_Sed [-]")):
            columns[compound][name] = relative_balance_error(summary, compound, system)
    return columns


def relative_balance_error(summary: SummaryFile, compound: str, system: str) -> float | None:
    """(initial mass + all terms - mass present at the end) / (mass at the end +
    initial mass + terms that bring substance in), over the annual rows of the
    whole run; 0 when the error is within the rounding of the printed terms."""
    rows: list[MassBalanceRow] = [r for r in summary.mass_balance if r.compound == compound
                                  and r.system == system and r.month is None]
    if not rows:
        return None
    total: dict[str, float] = {}
    for row in rows:
        for key, value in row.terms.items():
            total[key] = total.get(key, 0.0) + value
    names = list(total)
    present, initial = total[names[0]], total[names[1]]
    error = initial + sum(total[n] for n in names[2:]) - present
    # Each printed value is rounded to 0.0001 g.
    if abs(error) <= 0.00005 * len(rows) * len(names):
        return 0.0
    scale = present + initial + sum(total.get(n, 0.0) for n in _ENTERING[system])
    return error / scale if scale > 0 else 0.0
