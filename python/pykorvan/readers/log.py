"""Reader of RunId.log: the segment table, the event table and the warnings."""

from __future__ import annotations

import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Optional

from pykorvan.readers.common import (ReaderError, pandas_frame, parse_float, parse_int,
                                     read_lines)

_SEGMENT = re.compile(r"^\s*\d+\s")


@dataclass
class Segment:
    """A segment of the water body: bounds and centre (m), output switch."""

    number: int
    x_bou_m: float
    x_m: float
    del_x_m: Optional[float]
    len_seg_m: float
    output: bool


@dataclass
class LogFile:
    """RunId.log: water body, segments, echoed records and warnings."""

    path: Path
    water_body: str = ""
    segments: list[Segment] = field(default_factory=list)
    records: dict[str, str] = field(default_factory=dict)
    warnings: list[str] = field(default_factory=list)

    @property
    def output_segments(self) -> list[int]:
        """Return the numbers of the segments written to the output file."""
        return [s.number for s in self.segments if s.output]

    def to_pandas(self) -> Any:
        """Return the segment table as a pandas DataFrame."""
        return pandas_frame(self.segments)


def _segment(p: Path, number: int, text: str) -> Segment:
    """Return a row ``(i4,4f11.4,a)`` of the segment table; DelX may be blank."""
    if len(text) < 48:
        raise ReaderError(p, number, "segment row too short")
    fields = [text[4 + 11 * k:15 + 11 * k] for k in range(4)]
    output = text[48:].strip()
    if output not in ("Yes", "No"):
        raise ReaderError(p, number, f"expected Yes or No in SegOutput, found '{output}'")
    del_x = parse_float(fields[2], p, number, "DelX") if fields[2].strip() else None
    return Segment(parse_int(text[:4], p, number, "the node number"),
                   parse_float(fields[0], p, number, "XBou"),
                   parse_float(fields[1], p, number, "X"), del_x,
                   parse_float(fields[3], p, number, "LenSeg"), output == "Yes")


def read_log(path: Path | str) -> LogFile:
    """Read the segment table, the one-word records and the warnings of RunId.log."""
    p = Path(path)
    lines = read_lines(p)
    result = LogFile(p)
    state = ""
    warning: list[str] = []
    for number, text in enumerate(lines, start=1):
        if state == "warning":
            if text.startswith(" #####"):
                result.warnings.append("\n".join(warning).strip())
                warning, state = [], ""
            else:
                warning.append(text)
            continue
        if text.startswith(" ###### Warning"):
            state = "warning"
            continue
        if text.startswith("Waterbody:"):
            result.water_body = text.split(":", 1)[1].strip()
            state = "segments"
            continue
        if state == "segments":
            if text.startswith(("Node", "  ", "-----", "OptOutputDistances")) and \
                    not _SEGMENT.match(text):
                continue
            if _SEGMENT.match(text):
                result.segments.append(_segment(p, number, text))
                continue
            state = ""
        m = re.match(r"^(\w+) : (\S+)\s*$", text)
        if m:
            result.records[m.group(1)] = m.group(2)
    return result
