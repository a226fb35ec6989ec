"""The values of one run that the batch table holds, from its summary report
and its log.

This is the whole interface that collecting needs from the readers:

- ``exposure_columns(sum_path)`` returns, per compound in the order of the
  report, a dict of column name to value (None for a ``-`` in the report):
  ``GlobalMax_sw [ug.L-1]``, ``PECsw_<n>_day(s) [ug.L-1]``,
  ``TWAECsw_<n>_day(s) [ug.L-1]``, the same with ``sed`` and ``[ug.kg-1]``,
  ``Percentile_<p> [ug.L-1]`` and ``TWA_<target> [ug.L-1]`` (ZR, BRAX), and
  ``RelErrMasBal_WatLay [-]`` and ``RelErrMasBal_Sed [-]``;
- ``warning_count(log_path)`` returns the number of warnings in a log.
"""

from __future__ import annotations

import re
from pathlib import Path

_NUMBER = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eEdD][-+]?\d+)?"
_PEC_TABLE = re.compile(r"^\* Table: PEC in (water layer|sediment) of substance: (\S+)")
_TWA_TABLE = re.compile(r"^\* Table: Maximum Time Weighted Averaged Exposure Concentrations "
                        r"substance: (\S+)")
_ROW = re.compile(rf"^(Global max|(?:PEC|TWAEC)(?:sw|sed)[ _]\d+[ _]days?)\s+({_NUMBER}|-)")
_BALANCE = re.compile(r"^Annual mass balance terms \(g\) in (water|sediment) system .*"
                      r"compound: (\S+)")
_PERCENTILE = re.compile(rf"^\* The (\S+) percentile peak concentration of (\S+) .* is\s+"
                         rf"({_NUMBER}) ug/L")
_TARGET = re.compile(rf"^(\S+)\s+{_NUMBER}\s+\S+\s+\S+\s+\S+\s+\S+\s+({_NUMBER}|-)\s*$")
_WARNING = re.compile(r"^\s*#+ Warning")


def _number(text: str) -> float | None:
    return None if text == "-" else float(text.replace("d", "e").replace("D", "e"))


def warning_count(path: Path) -> int:
    """Warnings in a run's log: one framed block each; 0 without a log."""
    try:
        lines = path.read_text(encoding="latin-1").splitlines()
    except OSError:
        return 0
    return sum(1 for line in lines if _WARNING.match(line))


def exposure_columns(path: Path) -> dict[str, dict[str, float | None]]:
    """The exposure and balance columns of every compound of a summary report."""
    lines = path.read_text(encoding="latin-1").splitlines()
    columns: dict[str, dict[str, float | None]] = {}
    balances: dict[tuple[str, str], list[list[float]]] = {}
    compound, medium, is_twa, balance = "", "", False, None
    for number, line in enumerate(lines):
        if m := _PEC_TABLE.match(line):
            medium = "sw" if m.group(1) == "water layer" else "sed"
            compound, is_twa, balance = m.group(2), False, None
            columns.setdefault(compound, {})
        elif m := _TWA_TABLE.match(line):
            compound, is_twa, balance = m.group(1), True, None
            columns.setdefault(compound, {})
        elif m := _BALANCE.match(line):
            balance = balances.setdefault((m.group(2), m.group(1)), [])
            columns.setdefault(m.group(2), {})
        elif balance is not None and re.match(r"^\s+\d{4}\s", line):
            balance.append([float(x) for x in line.split()[1:]])
        elif m := _ROW.match(line):
            balance = None
            label = m.group(1).replace(" ", "_")
            if label == "Global_max":
                if is_twa:
                    continue
                label = f"GlobalMax_{medium}"
            elif label.startswith("TWAECsed"):
                medium = "sed"
            elif label.startswith("TWAECsw"):
                medium = "sw"
            unit = "[ug.L-1]" if medium == "sw" else "[ug.kg-1]"
            columns[compound][f"{label} {unit}"] = _number(m.group(2))
        elif m := _PERCENTILE.match(line):
            columns.setdefault(m.group(2), {})[f"Percentile_{m.group(1)} [ug.L-1]"] = \
                float(m.group(3))
        elif line.startswith("* Results for substance:"):
            compound = line.split(":", 1)[1].strip()
            _targets(lines, number + 1, columns.setdefault(compound, {}))
        elif not line.startswith("*") and balance is not None:
            balance = None
    for (name, medium_name), rows in balances.items():
        key = "RelErrMasBal_WatLay [-]" if medium_name == "water" else "RelErrMasBal_Sed [-]"
        columns[name][key] = _relative_error(rows, medium_name == "water")
    return columns


def _targets(lines: list[str], start: int, values: dict) -> None:
    for line in lines[start:]:
        m = _TARGET.match(line)
        if not m or line.startswith("*"):
            return
        values[f"TWA_{m.group(1)} [ug.L-1]"] = _number(m.group(2))


def _relative_error(rows: list[list[float]], water: bool) -> float | None:
    """(initial + terms - present at the end) / (present + initial + terms in)."""
    total = [sum(column) for column in zip(*rows)] if rows else []
    if not total:
        return None
    present, initial, terms = total[0], total[1], total[2:]
    error = initial + sum(terms) - present
    # Each printed value is rounded to 0.0001 g: an error within the sum of
    # those roundings is no error that the report can show.
    if abs(error) <= 0.00005 * len(rows) * len(total):
        error = 0.0
    if water:
        # AmaDrf AmaAtmDep AmaDra AmaRnO AmaSedIn AmaSedOut AmaDwn AmaUps AmaTra AmaFor AmaVol
        entering = [terms[i] for i in (0, 1, 2, 3, 5, 7, 9)]
    else:
        # AmaErs AmaWatIn AmaWatOut AmaDwnSed AmaTra AmaFor
        entering = [terms[i] for i in (0, 2, 5)]
    scale = present + initial + sum(entering)
    return error / scale if scale > 0 else 0.0
