"""Reader of RunId.out, the output file of variables at print times."""

from __future__ import annotations

import datetime as dt
import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Iterator, Optional

from pykorvan.readers.common import (ReaderError, pandas_frame, parse_float,
                                     parse_int, read_lines, require_date)

_UNIT = re.compile(r"^\* Unit for (\S+) is (.*?)\s*$")
_INT = re.compile(r"^-?\d+$")

# Variables written with one value per output segment; every other variable
# without a compound is a single value. Of the compound variables the masses
# (Ama...) and the evaluation-stretch mean are single values.
SEGMENT_VARIABLES = frozenset(("QBou", "DepWat", "VelWatFlw", "VvrLiqDra", "VvrLiqRnf",
                               "CofDisPhs"))


def is_single_value(variable: str, compound: str) -> bool:
    """Return whether a variable is one value per print time (not per segment)."""
    if compound:
        return variable.startswith("Ama") or variable == "ConLiqWatZRAvg"
    return variable not in SEGMENT_VARIABLES

# Columns of the profile lines written at events.
XPROFILE_COLUMNS = (("X", "m"), ("TemWat", "C"), ("DepWat", "m"), ("ConLiqWatLay", "g.m-3"))
ZPROFILE_COLUMNS = (("Z", "m"), ("ThetaSat", "m3.m-3"), ("ConSysSed", "g.m-3"),
                    ("ConLiqSed", "g.m-3"))


@dataclass(slots=True)
class OutRow:
    """One value of the long table: a variable at a print time."""

    time: float
    date: str
    moment: dt.datetime
    variable: str
    compound: str
    segment: Optional[int]
    layer: Optional[int]
    value: float
    unit: str


@dataclass
class OutSeries:
    """The values of one variable (compound, segment, layer) over the print times."""

    variable: str
    compound: str
    segment: Optional[int]
    layer: Optional[int]
    unit: str
    times: list[float] = field(default_factory=list)
    dates: list[str] = field(default_factory=list)
    moments: list[dt.datetime] = field(default_factory=list)
    values: list[float] = field(default_factory=list)


@dataclass
class ProfileRow:
    """One line of a profile along the water body (X) or over depth (Z)."""

    time: float
    date: str
    moment: dt.datetime
    kind: str
    compound: str
    segment: int
    layer: Optional[int]
    values: dict[str, float]


@dataclass
class OutFile:
    """RunId.out: header lines, units and every printed series."""

    path: Path
    header: list[str]
    units: dict[str, str]
    series: dict[tuple[str, str, Optional[int], Optional[int]], OutSeries]
    profiles: list[ProfileRow]

    def get(self, variable: str, compound: str = "", segment: Optional[int] = None,
            layer: Optional[int] = None) -> OutSeries:
        """Return the series of a variable; KeyError when it was not printed."""
        return self.series[(variable, compound, segment, layer)]

    def variables(self) -> list[str]:
        """Return the names of the printed variables, in order of appearance."""
        return list(dict.fromkeys(key[0] for key in self.series))

    def compounds(self) -> list[str]:
        """Return the compound names met in the compound variables."""
        return [c for c in dict.fromkeys(key[1] for key in self.series) if c]

    def segments(self, variable: str, compound: str = "") -> list[int]:
        """Return the segment numbers printed for a variable."""
        return [k[2] for k in self.series if k[0] == variable and k[1] == compound
                and k[2] is not None and k[3] is None]

    def rows(self) -> Iterator[OutRow]:
        """Yield the long table: one row per value, in series order."""
        for s in self.series.values():
            for t, d, m, v in zip(s.times, s.dates, s.moments, s.values):
                yield OutRow(t, d, m, s.variable, s.compound, s.segment, s.layer, v, s.unit)

    def to_pandas(self) -> Any:
        """Return the long table as a pandas DataFrame."""
        return pandas_frame(self.rows())


class _Parser:
    """Walks the lines of an output file and fills an OutFile."""

    def __init__(self, path: Path, segments: Optional[list[int]]) -> None:
        self.path = path
        self.segment_numbers = segments
        self.result = OutFile(path, [], {}, {}, [])
        self.moments: dict[str, dt.datetime] = {}
        self.profile_rows: dict[tuple[str, str, str, int], int] = {}

    def moment(self, text: str, line: int) -> dt.datetime:
        cached = self.moments.get(text)
        if cached is None:
            cached = self.moments[text] = require_date(text, self.path, line)
        return cached

    def split_name(self, name: str, line: int) -> tuple[str, str]:
        """Return (variable, compound) of a name column (``ConLiqWatLay_CMP``)."""
        units = self.result.units
        if name in units:
            return name, ""
        best = ""
        for known in units:
            if name.startswith(known + "_") and len(known) > len(best):
                best = known
        if not best:
            raise ReaderError(self.path, line, f"variable '{name}' has no unit line before it")
        return best, name[len(best) + 1:]

    def segment_number(self, position: int) -> int:
        numbers = self.segment_numbers
        if numbers and position <= len(numbers):
            return numbers[position - 1]
        return position

    def add(self, key: tuple[str, str, Optional[int], Optional[int]], time: float, date: str,
            moment: dt.datetime, value: float) -> None:
        s = self.result.series.get(key)
        if s is None:
            unit = self.result.units.get(key[0], "")
            s = self.result.series[key] = OutSeries(key[0], key[1], key[2], key[3], unit)
        s.times.append(time)
        s.dates.append(date)
        s.moments.append(moment)
        s.values.append(value)

    def data_line(self, text: str, line: int) -> None:
        tokens = text.split()
        if len(tokens) < 3:
            raise ReaderError(self.path, line, "expected time, date, name and values")
        time = parse_float(tokens[0], self.path, line, "time")
        date, name = tokens[1], tokens[2]
        moment = self.moment(date, line)
        if name.startswith(("XProfile_", "ZProfile_")):
            self.profile_line(tokens, time, date, moment, line)
            return
        variable, compound = self.split_name(name, line)
        values = tokens[3:]
        if not values:
            # A per-segment variable of a water body without output segments.
            return
        layer: Optional[int] = None
        if _INT.match(values[0]) and len(values) > 1:
            layer = int(values[0])
            values = values[1:]
        numbers = [parse_float(v, self.path, line, f"value of {name}") for v in values]
        self.lines.append((time, date, moment, variable, compound, layer, numbers))

    def day_based(self) -> bool:
        """Return whether the time column counts days (not fractional years)."""
        first = self.lines[0] if self.lines else None
        for time, _, moment, *_ in self.lines:
            if first and moment != first[2]:
                days = (moment - first[2]) / dt.timedelta(days=1)
                return abs((time - first[0]) - days) < 0.05
        return False

    def build(self) -> None:
        """Put the values of the data lines into their series.

        The first hour of a day is labelled by the plain date; when the time
        column counts days, its fraction gives the half hour of a mid-interval
        print time (00h30) that the label leaves out.
        """
        by_days = self.day_based()
        for time, date, moment, variable, compound, layer, numbers in self.lines:
            if by_days and len(date) == 11:
                half_hours = round((time % 1.0) * 48)
                if half_hours == 1:
                    moment = moment + dt.timedelta(minutes=30)
            if layer is None and is_single_value(variable, compound):
                self.add((variable, compound, None, None), time, date, moment, numbers[0])
                continue
            for position, value in enumerate(numbers, start=1):
                key = (variable, compound, self.segment_number(position), layer)
                self.add(key, time, date, moment, value)

    def profile_line(self, tokens: list[str], time: float, date: str, moment: dt.datetime,
                     line: int) -> None:
        kind, compound = tokens[2][0], tokens[2][len("XProfile_"):]
        columns = XPROFILE_COLUMNS if kind == "X" else ZPROFILE_COLUMNS
        values = tokens[3:]
        segment: int
        if kind == "Z":
            segment = parse_int(values[0], self.path, line, "the segment number")
            values = values[1:]
        if len(values) != len(columns):
            raise ReaderError(self.path, line,
                              f"expected {len(columns)} values in a {kind}Profile line")
        key = (kind, compound, date, segment if kind == "Z" else 0)
        order = self.profile_rows.get(key, 0) + 1
        self.profile_rows[key] = order
        numbers = {f"{name} [{unit}]": parse_float(v, self.path, line)
                   for (name, unit), v in zip(columns, values)}
        if kind == "X":
            segment, layer = order, None
        else:
            layer = order
        self.result.profiles.append(
            ProfileRow(time, date, moment, kind, compound, segment, layer, numbers))

    def parse(self, lines: list[str]) -> OutFile:
        self.lines: list[tuple[Any, ...]] = []
        for number, text in enumerate(lines, start=1):
            if not text.strip():
                continue
            if text.startswith("*"):
                m = _UNIT.match(text)
                if m:
                    self.result.units[m.group(1)] = m.group(2).strip("()")
                else:
                    self.result.header.append(text)
                continue
            self.data_line(text, number)
        self.build()
        return self.result


def read_out(path: Path | str, segments: Optional[list[int]] = None) -> OutFile:
    """Read RunId.out into series of (variable, compound, segment, layer).

    ``segments`` are the numbers of the output segments (from the log), so
    that a per-segment value carries its segment number; without them the
    position among the printed values is used. Units come from the unit
    lines, without their brackets (``g.m-3``).
    """
    p = Path(path)
    return _Parser(p, segments).parse(read_lines(p))
