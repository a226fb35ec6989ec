"""Reader of RunId.tem, the hourly water temperature and heat fluxes."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path

from pykorvan.readers.common import ReaderError, read_lines
from pykorvan.readers.series import Column, TimeSeries

# The values of a record by position (the heading names them in another order).
COLUMNS = (("TemWat", "K"), ("AvgDepWat", "m"), ("FleRadShoDow", "W.m-2"),
           ("FleRadShoDowSed", "W.m-2"), ("FleRadShoUpw", "W.m-2"), ("FleRadLonDow", "W.m-2"),
           ("FleRadLonUpw", "W.m-2"), ("SensHeaFlxAirWat", "W.m-2"),
           ("VapHeaFlxAirWat", "W.m-2"), ("SensHeaFlxWatSed", "W.m-2"), ("HeaFlxPrc", "W.m-2"))


@dataclass
class TemFile(TimeSeries):
    """RunId.tem: per hour TemWat (K) and, with daily or hourly weather, the heat fluxes."""

    path: Path = Path()

    @property
    def temperature_celsius(self) -> list[float]:
        """Return the water temperature in degrees Celsius per record."""
        return [v - 273.15 for v in self.column("TemWat")]


def read_tem(path: Path | str) -> TemFile:
    """Read RunId.tem (four heading lines, then one record per hour)."""
    p = Path(path)
    result = TemFile([], path=p)
    count = 0
    for number, text in enumerate(read_lines(p), start=1):
        if text.startswith("*") or not text.strip():
            continue
        tokens = text.split()
        if not count:
            count = len(tokens) - 2
            if count not in (1, len(COLUMNS)):
                raise ReaderError(p, number, f"expected 1 or {len(COLUMNS)} values, found {count}")
            result.columns = [Column(n, u) for n, u in COLUMNS[:count]]
        result.add_record(tokens, p, number)
    return result
