"""Reader of RunId.xpo, the hourly exposure concentrations of the target year."""

from __future__ import annotations

import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any

from pykorvan.readers.common import ReaderError, pandas_frame, read_lines
from pykorvan.readers.series import Column, TimeSeries

_TITLE = re.compile(r"^\* Table: Exposure concentrations of substance (\S+) in the water layer "
                    r"in the target year (\d+)")


@dataclass
class ExposureTable(TimeSeries):
    """The exposure table of a compound: ConWatTgt and one TWA per target (ug/L)."""

    compound: str = ""
    year: int = 0


@dataclass
class XpoFile:
    """RunId.xpo: one exposure table per compound."""

    path: Path
    tables: dict[str, ExposureTable] = field(default_factory=dict)

    def to_pandas(self) -> Any:
        """Return every table in one long DataFrame with a compound column."""
        rows = []
        for t in self.tables.values():
            for r in t.rows():
                r["compound"] = t.compound
                rows.append(r)
        return pandas_frame(rows)


def _columns(heading: str) -> list[Column]:
    """Return the value columns of the heading ``*Time Date ConWatTgt TWA-  1d ...``."""
    body = heading.lstrip("*").split(None, 2)[2] if len(heading.split()) > 2 else ""
    names = ["ConWatTgt"] + [f"TWA-{d}d" for d in re.findall(r"TWA-\s*([\d.]+)d", body)]
    return [Column(n, "ug.L-1") for n in names]


def read_xpo(path: Path | str) -> XpoFile:
    """Read RunId.xpo into a table per compound."""
    p = Path(path)
    result = XpoFile(p)
    table: ExposureTable | None = None
    for number, text in enumerate(read_lines(p), start=1):
        m = _TITLE.match(text)
        if m:
            table = ExposureTable([], compound=m.group(1), year=int(m.group(2)))
            result.tables[table.compound] = table
            continue
        if text.startswith("*Time") and table is not None:
            table.columns = _columns(text)
            continue
        if text.startswith("*") or not text.strip():
            continue
        if table is None or not table.columns:
            raise ReaderError(p, number, "record before the table title and heading")
        table.add_record(text.split(), p, number)
    return result
