"""Reader of RunId.sum, the summary report of a run."""

from __future__ import annotations

import datetime as dt
import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Optional

from pykorvan.readers.common import (MONTHS, ReaderError, pandas_frame, parse_date,
                                     parse_float, parse_int, read_lines)

# Lags of the PEC rows and windows of the TWA rows, in days, in table order.
PEC_DAYS = (1, 2, 4, 7, 14, 21, 28, 42, 50, 100)
BELOW = "< 1e-6"

_PEC_ROW = re.compile(r"^(Global max|\(incl\. suspend\.solids|PECsw 2 days"
                      r"|[A-Za-z]+(?:_\d+_days?)?)(\s.*)?$")
_RANK_ROW = re.compile(r"^\s*(\d+) (.{22})\s+(\S+)\s+(\S+)\s+(\d+)\s*$")
_TARGET_ECHO = re.compile(r"^\* Target:(.*?)\s*, Period:\s*(\S+) d")


@dataclass
class LoadingEvent:
    """A loading event: spray drift of a mass per hectare at a moment."""

    number: int
    date: str
    moment: Optional[dt.datetime]
    mass_g_ha: float
    deposition_mg_m2: float


@dataclass
class LateralFlux:
    """Maximum hourly flux of a lateral entry in a year (water or a compound)."""

    year: int
    kind: str
    subject: str
    value: float
    text: str
    unit: str
    date: str
    moment: Optional[dt.datetime]


@dataclass
class WaterBalanceRow:
    """Volumes (m3) of a month (month 1..12) or a year (month None)."""

    year: int
    month: Optional[int]
    identifier: str
    terms: dict[str, float]
    complete: bool = True


@dataclass
class MassBalanceRow:
    """Mass terms (g) of a compound in the water layer or the sediment."""

    compound: str
    system: str
    year: int
    month: Optional[int]
    terms: dict[str, float]
    complete: bool = True


@dataclass
class PercentileRow:
    """A ranked yearly peak of ConLiqWatLayTgt (ug/L)."""

    compound: str
    table: str
    rank: int
    identifier: str
    percent: float
    concentration_ug_l: float
    year: int


@dataclass
class AnnualMaximum:
    """The annual maximum concentration (ug/L) in the last segment (MERIX)."""

    compound: str
    year: int
    value: float
    text: str
    date: str
    moment: Optional[dt.datetime]
    day: Optional[int]


@dataclass
class PecRow:
    """A row of the PEC and TWA tables (MERIX).

    ``kind`` is ``max`` (global maximum), ``max_incl_sus`` (the same with
    the suspended solids), ``pec`` (momentary value ``days`` after the
    maximum) or ``twa`` (highest time-weighted average over ``days``).
    ``medium`` is ``water`` (ug/L) or ``sediment`` (ug/kg). A row after the
    end of the run has no value (None). ``< 1e-6`` reads as 0.
    """

    compound: str
    medium: str
    kind: str
    name: str
    days: int
    value: Optional[float]
    text: str
    date: str
    moment: Optional[dt.datetime]
    day: Optional[int]


@dataclass
class TwaTargetRow:
    """Highest time-weighted average of a target (ZR, BRAX), ug/L."""

    compound: str
    target: str
    window_days: float
    evaluation_start: str
    evaluation_end: str
    start: str
    end: str
    end_moment: Optional[dt.datetime]
    value: Optional[float]
    text: str


@dataclass
class SummaryFile:
    """RunId.sum, every table of it."""

    path: Path
    edition: str = ""
    header: dict[str, str] = field(default_factory=dict)
    compounds: list[str] = field(default_factory=list)
    properties: dict[str, dict[str, str]] = field(default_factory=dict)
    formations: list[str] = field(default_factory=list)
    events: list[LoadingEvent] = field(default_factory=list)
    lateral_entries: str = ""
    lateral_fluxes: list[LateralFlux] = field(default_factory=list)
    water_balance_columns: list[str] = field(default_factory=list)
    water_balance: list[WaterBalanceRow] = field(default_factory=list)
    mass_balance: list[MassBalanceRow] = field(default_factory=list)
    percentiles: list[PercentileRow] = field(default_factory=list)
    percentile_peaks: dict[str, float] = field(default_factory=dict)
    annual_maxima: list[AnnualMaximum] = field(default_factory=list)
    pec: list[PecRow] = field(default_factory=list)
    twa_targets: list[TwaTargetRow] = field(default_factory=list)
    project_summary: dict[str, str] = field(default_factory=dict)
    results: dict[str, float] = field(default_factory=dict)
    warnings: bool = False

    @property
    def period(self) -> tuple[Optional[dt.datetime], Optional[dt.datetime]]:
        """Return the first and last day of the simulation period."""
        text = self.header.get("Simulation Period", "")
        parts = text.split(" to ")
        if len(parts) != 2:
            return None, None
        return parse_date(parts[0]), parse_date(parts[1])

    def global_maximum(self, compound: str, medium: str = "water") -> Optional[PecRow]:
        """Return the global-maximum row of a compound (None when absent)."""
        for row in self.pec:
            if row.compound == compound and row.medium == medium and row.kind == "max":
                return row
        return None

    def pec_rows(self, compound: str, medium: str = "water", kind: str = "pec") -> list[PecRow]:
        """Return the PEC (or TWA) rows of a compound in table order."""
        return [r for r in self.pec
                if r.compound == compound and r.medium == medium and r.kind == kind]

    def to_pandas(self) -> dict[str, Any]:
        """Return a DataFrame per non-empty table, keyed by table name."""
        tables = {name: rows for name, rows in self.tables().items() if rows}
        return {name: pandas_frame(rows) for name, rows in tables.items()}

    def tables(self) -> dict[str, list[Any]]:
        """Return the row lists of the tables, keyed by table name."""
        return {
            "events": self.events, "lateral_fluxes": self.lateral_fluxes,
            "water_balance": self.water_balance, "mass_balance": self.mass_balance,
            "percentiles": self.percentiles, "annual_maxima": self.annual_maxima,
            "pec": self.pec, "twa_targets": self.twa_targets,
        }


def _value_text(tokens: list[str]) -> list[str]:
    """Join the report number text ``< 1e-6`` back into one token."""
    out: list[str] = []
    for t in tokens:
        if out and out[-1] == "<":
            out[-1] = "< " + t
        else:
            out.append(t)
    return out


class _Parser:
    """Walks the lines of a summary and fills a SummaryFile."""

    def __init__(self, path: Path) -> None:
        self.path = path
        self.s = SummaryFile(path)
        self.table: tuple[Any, ...] = ()
        self.section = ""
        self.line = 0
        self.columns: list[str] = []
        self.rank_tables = 0
        self.last_medium = "water"
        self.rows_in_table = 0

    def fail(self, message: str) -> None:
        raise ReaderError(self.path, self.line, message)

    def number(self, text: str, what: str = "number") -> float:
        return parse_float(text, self.path, self.line, what)

    def report_number(self, text: str) -> Optional[float]:
        """Return the value of a report number text (None for -)."""
        if text == "-":
            return None
        if text == BELOW:
            return 0.0
        return self.number(text, "concentration")

    def optional_int(self, text: Optional[str]) -> Optional[int]:
        if text is None or text == "-":
            return None
        return parse_int(text, self.path, self.line, "a day number")

    # --- star lines: titles and headings ---------------------------------
    def star_line(self, text: str) -> None:
        body = text[1:].strip()
        if body.startswith("KORVAN REPORT: "):
            self.section = body[len("KORVAN REPORT: "):]
            self.table = ()
            return
        if body.startswith("End of KORVAN REPORT"):
            self.section = ""
            self.table = ()
            return
        if body.startswith("### Warning(s) during"):
            self.s.warnings = True
            return
        if self.section == "Header":
            self.header_line(body)
        elif self.section == "Project_Summary":
            self.project_line(body)
        self.title(body)

    def header_line(self, body: str) -> None:
        if "KORVAN version" in body:
            self.s.edition = body.split("KORVAN version")[0].replace(" beta", "").strip()
        elif body.startswith("KORVAN model version") and not self.s.edition:
            version = body.split(":", 1)[1].strip()
            self.s.edition = "BRAX" if version.endswith("-R") else "other"
        if ":" in body:
            key, value = body.split(":", 1)
            self.s.header[key.strip()] = value.strip()

    def project_line(self, body: str) -> None:
        parts = body.split()
        if len(parts) < 2:
            return
        self.s.project_summary[parts[0]] = " ".join(parts[1:])
        if parts[0].startswith("Result_"):
            self.s.results[parts[0][len("Result_"):]] = self.number(parts[1], "result")

    def title(self, body: str) -> None:
        s = self.s
        m = re.match(r"Substance\s+(\d+):\s+(\S+)", body)
        if m:
            s.compounds.append(m.group(2))
            s.properties[m.group(2)] = {}
            return
        if body.startswith("Metabolite formed in"):
            s.formations.append(body)
        elif s.compounds and self.section.startswith("Substance properties") \
                and " : " in body and not self.table:
            key, value = body.rsplit(" : ", 1) if "measured at" not in body else \
                body.split(" : ", 1)
            s.properties[s.compounds[-1]].setdefault(key.strip(), value.strip())
        if body.startswith("Appl.No"):
            self.table = ("events",)
        elif body.startswith(("No lateral entr", "Lateral entr")):
            s.lateral_entries = body
        elif body.startswith("Year   Type"):
            self.table = ("fluxes",)
        elif body.startswith("Monthly water balance terms"):
            self.table = ("water", None)
        elif body.startswith("Annual water balance terms"):
            self.table = ("water", "annual")
        elif body.startswith("Year") and self.table and self.table[0] in ("water", "mass"):
            names = body.split()
            skip = 3 if self.table[0] == "water" and self.table[1] is None else (
                2 if self.table[0] == "water" or self.table[2] is None else 1)
            if self.table[0] == "mass" and self.table[2] is None:
                skip = 2
            self.columns = names[skip:]
            if self.table[0] == "water" and self.table[1] is None:
                s.water_balance_columns = self.columns
        elif body == "Last month not complete":
            rows = s.water_balance if self.table and self.table[0] == "water" else s.mass_balance
            if rows:
                rows[-1].complete = False
        elif body.startswith("Concentration summary per summary period"):
            self.section = "Concentration summary"
            self.rank_tables = 0
        elif body.startswith("Rank") and self.section == "Concentration summary":
            if self.rank_tables >= len(s.compounds):
                self.fail("more percentile tables than compounds")
            self.table = ("rank", s.compounds[self.rank_tables], "summary")
            self.rank_tables += 1
        elif body.startswith("Percentile summary for substance "):
            self.table = ("rank", body.split()[-1], "target")
        elif body.startswith("The ") and " percentile peak concentration of " in body:
            words = body.split()
            s.percentile_peaks[words[6]] = self.number(words[-2], "concentration")
        else:
            self.exposure_title(body)

    def exposure_title(self, body: str) -> None:
        compound = body.rsplit(":", 1)[-1].strip()
        if body.startswith("Table: Annual maximum exposure concentrations"):
            self.table = ("annmax", compound)
        elif body.startswith("Table: PEC in water layer of substance:"):
            self.start_pec("pec", "water", compound)
        elif body.startswith("Table: PEC in sediment of substance:"):
            self.start_pec("pec", "sediment", compound)
        elif body.startswith("Table: Maximum Time Weighted Averaged Exposure"):
            self.start_pec("twa", self.last_medium, compound)
        elif body.startswith("Results for substance:"):
            self.table = ("twatarget", compound)
        elif body.startswith(("Table: ", "Tables: ")) and not body.startswith("Table: Mass"):
            self.table = ()

    def start_pec(self, kind: str, medium: str, compound: str) -> None:
        self.table = (kind, medium, compound)
        self.last_medium = medium
        self.rows_in_table = 0

    # --- data rows ---------------------------------------------------------
    def data_line(self, text: str) -> None:
        if text.startswith("Monthly mass balance terms") or text.startswith("Annual mass balance"):
            period = None if text.startswith("Monthly") else "annual"
            system = "sediment" if " sediment " in text else "water"
            compound = text.rsplit(":", 1)[-1].strip()
            self.table = ("mass", system, period, compound)
            return
        if set(text.strip()) == {"-"}:
            return
        if text.startswith(" #"):
            # The frame of the warnings notice.
            self.s.warnings = self.s.warnings or "Warning(s) during" in text
            return
        if not self.table:
            self.fail(f"unexpected line '{text.strip()[:40]}'")
        kind = self.table[0]
        handler = {
            "events": self.event_row, "fluxes": self.flux_row, "water": self.water_row,
            "mass": self.mass_row, "rank": self.rank_row, "annmax": self.annual_max_row,
            "pec": self.pec_row, "twa": self.pec_row, "twatarget": self.twa_target_row,
        }[kind]
        handler(text)

    def event_row(self, text: str) -> None:
        t = text.split()
        if len(t) != 4:
            self.fail("expected number, date, mass and deposition of a loading event")
        self.s.events.append(LoadingEvent(
            parse_int(t[0], self.path, self.line, "an event number"), t[1], parse_date(t[1]),
            self.number(t[2], "mass"), self.number(t[3], "deposition")))

    def flux_row(self, text: str) -> None:
        t = _value_text(text.split())
        if len(t) == 5:
            t.insert(1, "")
        if len(t) != 6:
            self.fail("expected year, type, subject, flux, unit and date")
        value = self.report_number(t[3])
        self.s.lateral_fluxes.append(LateralFlux(
            parse_int(t[0], self.path, self.line, "a year"), t[1], t[2],
            value if value is not None else float("nan"), t[3], t[4], t[5], parse_date(t[5])))

    def month(self, text: str) -> int:
        if text not in MONTHS:
            self.fail(f"expected a month name, found '{text}'")
        return MONTHS.index(text) + 1

    def terms(self, values: list[str]) -> dict[str, float]:
        if len(values) != len(self.columns):
            self.fail(f"expected {len(self.columns)} values, found {len(values)}")
        return {name: self.number(v) for name, v in zip(self.columns, values)}

    def water_row(self, text: str) -> None:
        t = text.split()
        year = parse_int(t[0], self.path, self.line, "a year")
        if self.table[1] is None:
            if len(t) < 3:
                self.fail("expected year, month and identifier")
            self.s.water_balance.append(
                WaterBalanceRow(year, self.month(t[1]), t[2], self.terms(t[3:])))
        else:
            self.s.water_balance.append(WaterBalanceRow(year, None, t[1], self.terms(t[2:])))

    def mass_row(self, text: str) -> None:
        t = text.split()
        _, system, period, compound = self.table
        year = parse_int(t[0], self.path, self.line, "a year")
        if period is None:
            row = MassBalanceRow(compound, system, year, self.month(t[1]), self.terms(t[2:]))
        else:
            row = MassBalanceRow(compound, system, year, None, self.terms(t[1:]))
        self.s.mass_balance.append(row)

    def rank_row(self, text: str) -> None:
        m = _RANK_ROW.match(text)
        if not m:
            self.fail("expected rank, identifier, percent, concentration and year")
        self.s.percentiles.append(PercentileRow(
            self.table[1], self.table[2], int(m.group(1)), m.group(2).strip(),
            self.number(m.group(3), "percentage"), self.number(m.group(4), "concentration"),
            int(m.group(5))))

    def annual_max_row(self, text: str) -> None:
        t = _value_text(text.split())
        if len(t) != 4:
            self.fail("expected year, concentration, date and day number")
        value = self.report_number(t[1])
        self.s.annual_maxima.append(AnnualMaximum(
            self.table[1], parse_int(t[0], self.path, self.line, "a year"),
            value if value is not None else float("nan"), t[1], t[2], parse_date(t[2]),
            self.optional_int(t[3])))

    def pec_row(self, text: str) -> None:
        kind, medium, compound = self.table
        m = _PEC_ROW.match(text)
        if not m:
            self.fail(f"expected a row of the {kind.upper()} table of {compound}")
        name = m.group(1)
        tokens = _value_text((m.group(2) or "").replace(")", " ").split())
        if not tokens or len(tokens) > 3:
            self.fail(f"expected value, date and day number after '{name}'")
        tokens += ["-"] * (3 - len(tokens))
        if name == "Global max":
            row_kind, days = "max", 0
        elif name.startswith("(incl."):
            row_kind, days = "max_incl_sus", 0
        else:
            if self.rows_in_table >= len(PEC_DAYS):
                self.fail(f"more than {len(PEC_DAYS)} rows in the {kind.upper()} table")
            row_kind, days = kind, PEC_DAYS[self.rows_in_table]
            self.rows_in_table += 1
            stated = re.findall(r"\d+", name)
            if stated and int(stated[0]) != days:
                self.fail(f"row '{name}' out of order: expected {days} days")
        date = tokens[1] if tokens[1] != "-" else ""
        self.s.pec.append(PecRow(
            compound, medium, row_kind, name, days, self.report_number(tokens[0]), tokens[0],
            date, parse_date(date) if date else None, self.optional_int(tokens[2])))

    def twa_target_row(self, text: str) -> None:
        t = _value_text(text.split())
        if len(t) != 7:
            self.fail("expected target, window, evaluation period, window dates and TWA")
        self.s.twa_targets.append(TwaTargetRow(
            self.table[1], t[0], self.number(t[1], "window length"), t[2], t[3], t[4], t[5],
            parse_date(t[5]), self.report_number(t[6]), t[6]))

    def parse(self, lines: list[str]) -> SummaryFile:
        for self.line, text in enumerate(lines, start=1):
            if not text.strip():
                continue
            if text.startswith("*"):
                self.star_line(text)
            else:
                self.data_line(text)
        if not self.s.header:
            raise ReaderError(self.path, 0, "no header section: not a KORVAN summary")
        return self.s


def read_summary(path: Path | str) -> SummaryFile:
    """Read every table of RunId.sum.

    Concentrations are in ug/L (water) and ug/kg (sediment content), masses
    in g and volumes in m3, as in the file.
    """
    p = Path(path)
    return _Parser(p).parse(read_lines(p))
