"""Time series files of a run: the table shared by RunId.hyd, .tem and .xpo."""

from __future__ import annotations

import datetime as dt
from dataclasses import dataclass, field
from typing import Any, Iterator, Optional

from pathlib import Path

from pykorvan.readers.common import ReaderError, pandas_frame, parse_float, require_date


@dataclass
class Column:
    """A value column of a time series file: the model's name and its unit."""

    name: str
    unit: str

    @property
    def label(self) -> str:
        """Return the column header with its unit, ``DepWat [m]``."""
        return f"{self.name} [{self.unit}]" if self.unit else self.name


@dataclass
class TimeSeries:
    """Records of time since the start (d), date text and values."""

    columns: list[Column]
    times: list[float] = field(default_factory=list)
    dates: list[str] = field(default_factory=list)
    moments: list[Optional[dt.datetime]] = field(default_factory=list)
    values: list[list[float]] = field(default_factory=list)

    def add_record(self, tokens: list[str], path: Path, line: int) -> None:
        """Append a record of time, date and one value per column, or raise the named error."""
        count = len(self.columns)
        if len(tokens) - 2 != count:
            raise ReaderError(path, line, f"expected {count} values, found {len(tokens) - 2}")
        self.times.append(parse_float(tokens[0], path, line, "time"))
        self.dates.append(tokens[1])
        self.moments.append(require_date(tokens[1], path, line))
        self.values.append([parse_float(v, path, line) for v in tokens[2:]])

    def column(self, name: str) -> list[float]:
        """Return the values of the column of that name."""
        for j, c in enumerate(self.columns):
            if c.name == name:
                return [row[j] for row in self.values]
        raise KeyError(name)

    def rows(self) -> Iterator[dict[str, Any]]:
        """Yield one dict per record: time, date, moment and the labelled values."""
        labels = [c.label for c in self.columns]
        for t, d, m, v in zip(self.times, self.dates, self.moments, self.values):
            row: dict[str, Any] = {"time": t, "date": d, "moment": m}
            row.update(zip(labels, v))
            yield row

    def to_pandas(self) -> Any:
        """Return the records as a pandas DataFrame."""
        return pandas_frame(self.rows())
