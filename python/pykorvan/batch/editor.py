"""Changing one value of a KORVAN input file and nothing else.

A parameter is either a record, named by its keyword (``DT50WatRef_CMP``,
``TimEnd``), or a cell of a table, written ``Table[row,column]``
(``Loadings[1,2]``).  The record found is the one the model reads: the first
line that is neither blank nor a comment whose second word is the keyword;
its first word is the value.  The rows of a table are its lines up to the
line holding ``end_table``, without comments and blank lines, and without
the header of column names and units when the table has one (a line whose
words are all written in brackets, like ``(m)``, ends the header).  Rows and
columns count from 1; a column may also be named by its header
(``WaterBody[1,Len]``).

Only the characters of the value change: every other byte of the file, line
ends included, stays as it was.
"""

from __future__ import annotations

import math
import re
from dataclasses import dataclass
from pathlib import Path

MAX_LINE_LENGTH = 250
MAX_WORD_LENGTH = 32

_CELL = re.compile(r"^\s*([A-Za-z_][A-Za-z0-9_]*)\s*\[\s*(\d+)\s*,\s*([A-Za-z0-9_]+)\s*\]\s*$")
_RECORD = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")
_WORD = re.compile(r"[^ \t]+")


class InputError(ValueError):
    """A parameter that the input file does not hold, or a value it cannot take."""


@dataclass(frozen=True)
class Parameter:
    """A record keyword, or a table cell when ``table`` is set."""

    name: str
    keyword: str = ""
    table: str = ""
    row: int = 0
    column: str = ""

    @property
    def is_cell(self) -> bool:
        return bool(self.table)


def parse_parameter(name: str) -> Parameter:
    """The record or table cell that a parameter name stands for."""
    match = _CELL.match(name)
    if match:
        table, row, column = match.groups()
        if int(row) < 1 or (column.isdigit() and int(column) < 1):
            raise InputError(f"{name}: rows and columns count from 1")
        return Parameter(name=name.strip(), table=table, row=int(row), column=column)
    if _RECORD.match(name.strip()):
        return Parameter(name=name.strip(), keyword=name.strip())
    raise InputError(
        f"{name}: not a parameter name (a record keyword, or Table[row,column])")


def format_value(value: object) -> str:
    """The text written for a value: numbers in list-directed form, texts as given."""
    if isinstance(value, bool):
        raise InputError(f"{value}: a parameter value is a number or a word")
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        if not math.isfinite(value):
            raise InputError(f"{value}: not a number the model reads")
        text = repr(value)
        return text
    if isinstance(value, str):
        text = value.strip()
        if not text or any(c in text for c in " \t\r\n"):
            raise InputError(f"'{value}': a value is one word")
        if len(text) > MAX_WORD_LENGTH:
            raise InputError(f"'{value}': a word has at most {MAX_WORD_LENGTH} characters")
        return text
    raise InputError(f"{value!r}: a parameter value is a number or a word")


def _counted(line: str) -> str:
    """The part of a line that the model reads (without its line end)."""
    return line.rstrip("\r")[:MAX_LINE_LENGTH]


def _is_skipped(line: str) -> bool:
    counted = _counted(line)
    return not counted.strip() or counted.startswith("*")


def _words(line: str) -> list[re.Match[str]]:
    return list(_WORD.finditer(_counted(line)))


class InputFile:
    """The text of an input file, with its values changeable one at a time."""

    def __init__(self, text: str) -> None:
        # Every byte maps to one character, so that writing back restores it.
        self._lines = text.split("\n")

    @classmethod
    def read(cls, path: Path | str) -> "InputFile":
        return cls(Path(path).read_bytes().decode("latin-1"))

    def text(self) -> str:
        return "\n".join(self._lines)

    def write(self, path: Path | str) -> None:
        Path(path).write_bytes(self.text().encode("latin-1"))

    def get(self, parameter: Parameter | str) -> str:
        """The value now written for a parameter."""
        line, word = self._locate(_as_parameter(parameter))
        return _words(self._lines[line])[word].group()

    def set(self, parameter: Parameter | str, value: object) -> str:
        """Writes a value in place of the parameter's; returns the text written."""
        text = format_value(value)
        line, word = self._locate(_as_parameter(parameter))
        span = _words(self._lines[line])[word].span()
        old = self._lines[line]
        self._lines[line] = old[: span[0]] + text + old[span[1]:]
        return text

    def _locate(self, parameter: Parameter) -> tuple[int, int]:
        if parameter.is_cell:
            return self._locate_cell(parameter)
        return self._locate_record(parameter.keyword), 0

    def _locate_record(self, keyword: str) -> int:
        for number, line in enumerate(self._lines):
            if _is_skipped(line):
                continue
            words = _words(line)
            if len(words) >= 2 and words[1].group() == keyword:
                if words[0].group() == "table":
                    raise InputError(
                        f"{keyword} is a table: name a cell as {keyword}[row,column]")
                return number
        raise InputError(f"{keyword}: no such record in the input file")

    def _table_start(self, table: str) -> int:
        for number, line in enumerate(self._lines):
            if _is_skipped(line):
                continue
            words = [w.group() for w in _words(line)]
            if len(words) >= 2 and words[0] == "table":
                name = words[2] if words[1] == "horizon" and len(words) > 2 else words[1]
                if name == table:
                    return number
        raise InputError(f"{table}: no such table in the input file")

    def _table_rows(self, table: str) -> tuple[list[int], list[str]]:
        """Line numbers of the table's data rows, and its column names if any."""
        start = self._table_start(table)
        lines: list[int] = []
        for number in range(start + 1, len(self._lines)):
            line = self._lines[number]
            if "end_table" in _counted(line):
                break
            if not _is_skipped(line):
                lines.append(number)
        else:
            raise InputError(f"{table}: the table has no end_table line")
        header: list[str] = []
        for position, number in enumerate(lines[:2]):
            words = [w.group() for w in _words(self._lines[number])]
            if words and all(w.startswith("(") for w in words):
                if position == 1:
                    header = [w.group() for w in _words(self._lines[lines[0]])]
                return lines[position + 1:], header
        return lines, header

    def _locate_cell(self, parameter: Parameter) -> tuple[int, int]:
        rows, header = self._table_rows(parameter.table)
        if parameter.row > len(rows):
            raise InputError(
                f"{parameter.name}: table {parameter.table} has {len(rows)} rows")
        if parameter.column.isdigit():
            column = int(parameter.column) - 1
        elif parameter.column in header:
            column = header.index(parameter.column)
        else:
            raise InputError(
                f"{parameter.name}: table {parameter.table} has no column {parameter.column}")
        line = rows[parameter.row - 1]
        if column >= len(_words(self._lines[line])):
            raise InputError(
                f"{parameter.name}: row {parameter.row} of table {parameter.table} "
                f"has {len(_words(self._lines[line]))} columns")
        return line, column


def _as_parameter(parameter: Parameter | str) -> Parameter:
    return parameter if isinstance(parameter, Parameter) else parse_parameter(parameter)
