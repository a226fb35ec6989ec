"""Reader of RunId.hyd, the discharges and depths of every hydrology step."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path

from pykorvan.readers.common import ReaderError, is_date, read_lines
from pykorvan.readers.series import Column, TimeSeries

_UNITS = {"DepWat": "m", "DepWatCre": "m", "FlwWatSpg": "m.s-1", "FlvLiqPrc": "m.s-1",
          "FlvLiqEvp": "m.s-1"}
_TRAILING = ("FlwWatSpg", "FlvLiqPrc", "FlvLiqEvp")


@dataclass
class HydFile(TimeSeries):
    """RunId.hyd: per step the discharges (m3.s-1) and the depth (m)."""

    path: Path = Path()

    @property
    def discharge_downstream(self) -> list[float]:
        """Return the discharge (m3.s-1) at the downstream end per record."""
        names = [c.name for c in self.columns]
        j = names.index("QCre") if "QCre" in names else max(
            i for i, n in enumerate(names) if n.startswith("QBou"))
        return [row[j] for row in self.values]

    @property
    def depth(self) -> list[float]:
        """Return the water depth (m) per record."""
        name = "DepWatCre" if any(c.name == "DepWatCre" for c in self.columns) else "DepWat"
        return self.column(name)


def _columns(header: list[str], count: int) -> list[Column]:
    """Return the columns of a record of ``count`` values from the heading."""
    words = header[0].replace("*", " ").split()[2:] if header else []
    if "QBouUpsWatCrs" in words:
        names = words
    else:
        extra = [w for w in words if w in _TRAILING]
        nodes = count - 1 - len(extra)
        names = [f"QBou({i})" for i in range(nodes)] + ["DepWat"] + extra
    if len(names) != count:
        return [Column(f"value{j + 1}", "") for j in range(count)]
    return [Column(n, _UNITS.get(n, "m3.s-1")) for n in names]


def read_hyd(path: Path | str) -> HydFile:
    """Read RunId.hyd; a record continued on the next lines is joined."""
    p = Path(path)
    lines = read_lines(p)
    header = [t for t in lines if t.startswith("*")]
    records: list[tuple[int, list[str]]] = []
    for number, text in enumerate(lines, start=1):
        if text.startswith("*") or not text.strip():
            continue
        tokens = text.split()
        if len(tokens) >= 2 and is_date(tokens[1]):
            records.append((number, tokens))
        elif records:
            records[-1][1].extend(tokens)
        else:
            raise ReaderError(p, number, "expected a record starting with time and date")
    result = HydFile([], path=p)
    if not records:
        return result
    count = len(records[0][1]) - 2
    result.columns = _columns(header, count)
    for number, tokens in records:
        result.add_record(tokens, p, number)
    return result
