"""Shared pieces of the readers: the error, numbers, date texts, pandas."""

from __future__ import annotations

import dataclasses
import datetime as dt
import math
import re
from pathlib import Path
from typing import Any, Iterable, Iterator, Optional

MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun",
          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")

# 15-May-1980 or 15-May-1980-09h00 or 13-May-1980-12h30
_DATE = re.compile(r"^(\d{2})-([A-Z][a-z]{2})-(\d{4})(?:-(\d{2})h(\d{2}))?$")


class ReaderError(ValueError):
    """A file is not what its reader expects; names the file and line."""

    def __init__(self, path: Path | str, line: int, message: str) -> None:
        self.path = Path(path)
        self.line = line
        self.reason = message
        where = f"{self.path}, line {line}" if line > 0 else f"{self.path}"
        super().__init__(f"{where}: {message}")


def read_lines(path: Path | str) -> list[str]:
    """Return the lines of a KORVAN text file without line ends.

    The files are UTF-8 (the micro sign of the summary); a stray byte of
    another encoding is kept as a replacement character.
    """
    p = Path(path)
    try:
        text = p.read_bytes().decode("utf-8", errors="replace")
    except OSError as e:
        raise ReaderError(p, 0, f"cannot read the file ({e.strerror})") from e
    return text.splitlines()


def parse_float(text: str, path: Path, line: int, what: str = "number") -> float:
    """Return the value of a number as KORVAN writes it.

    A field of asterisks (a value too wide for its layout) reads as NaN.
    """
    t = text.strip()
    if t and set(t) == {"*"}:
        return math.nan
    try:
        return float(t.replace("D", "E").replace("d", "e"))
    except ValueError:
        raise ReaderError(path, line, f"expected a {what}, found '{t}'") from None


def parse_int(text: str, path: Path, line: int, what: str = "integer") -> int:
    """Return an integer field, or raise the named error."""
    t = text.strip()
    try:
        return int(t)
    except ValueError:
        raise ReaderError(path, line, f"expected {what}, found '{t}'") from None


def parse_date(text: str) -> Optional[dt.datetime]:
    """Return the moment of a date text (``15-May-1980-09h00``), or None."""
    m = _DATE.match(text.strip())
    if not m or m.group(2) not in MONTHS:
        return None
    day, month, year = int(m.group(1)), MONTHS.index(m.group(2)) + 1, int(m.group(3))
    hour = int(m.group(4) or 0)
    minute = int(m.group(5) or 0)
    try:
        base = dt.datetime(year, month, day)
    except ValueError:
        return None
    # 24h00 is the end of the day.
    return base + dt.timedelta(hours=hour, minutes=minute)


def require_date(text: str, path: Path, line: int) -> dt.datetime:
    """Return the moment of a date text, or raise the named error."""
    moment = parse_date(text)
    if moment is None:
        raise ReaderError(path, line,
                          f"expected a date such as 15-May-1980-09h00, found '{text.strip()}'")
    return moment


def iso(moment: Optional[dt.datetime]) -> str:
    """Return the ISO 8601 text of a moment (empty for None)."""
    return moment.strftime("%Y-%m-%dT%H:%M") if moment else ""


def is_date(text: str) -> bool:
    """Return whether a token is a KORVAN date text."""
    return parse_date(text) is not None


def pandas_frame(rows: Iterable[Any]) -> Any:
    """Return a pandas DataFrame of dataclass rows (needs pandas)."""
    try:
        import pandas
    except ImportError as e:  # pragma: no cover - depends on the machine
        raise ImportError("to_pandas() needs pandas (Debian: python3-pandas)") from e
    records = [r if isinstance(r, dict) else flat(r) for r in rows]
    return pandas.DataFrame.from_records(records)


def flat(row: Any) -> dict[str, Any]:
    """Return the fields of a dataclass row, a dict field spread into columns."""
    out: dict[str, Any] = {}
    for f in dataclasses.fields(row):
        value = getattr(row, f.name)
        if isinstance(value, dict):
            out.update(value)
        else:
            out[f.name] = value
    return out


def numbered(lines: list[str], start: int = 0) -> Iterator[tuple[int, str]]:
    """Yield (line number from 1, text) from a list of lines."""
    for i in range(start, len(lines)):
        yield i + 1, lines[i]
