"""The reader of RunId.out on the output of every example."""

from __future__ import annotations

import datetime as dt
import math

import pytest

from conftest import EXAMPLES
from pykorvan.readers import ReaderError, read_log, read_out, read_summary


def _file_numbers(text: str) -> list[float]:
    """Return the values of every data line: all numbers after time, date and name."""
    numbers = []
    for line in text.splitlines():
        if line.startswith("*") or not line.strip():
            continue
        tokens = line.split()[3:]
        if tokens and "." not in tokens[0] and len(tokens) > 1:
            tokens = tokens[1:]  # the layer number of a sediment line
        numbers += [float(t) for t in tokens]
    return numbers


@pytest.mark.parametrize("name", EXAMPLES)
def test_every_value_of_the_file_is_read_once(example_runs, name):
    folder = example_runs[name]
    log = read_log(folder / f"{name}.log")
    out = read_out(folder / f"{name}.out", log.output_segments)
    read = [v for s in out.series.values() for v in s.values]
    expected = _file_numbers((folder / f"{name}.out").read_text())
    assert len(read) == len(expected)
    assert math.fsum(read) == pytest.approx(math.fsum(expected), rel=1e-12, abs=1e-30)
    rows = list(out.rows())
    assert len(rows) == len(read)
    # Units come from the unit lines, per-segment values carry segment numbers.
    for row in rows:
        assert row.unit == out.units[row.variable]
        if row.segment is not None:
            assert row.segment in log.output_segments
    if "ConLiqWatLay" in out.variables():
        assert out.units["ConLiqWatLay"] == "g.m-3"
        assert out.segments("ConLiqWatLay", out.compounds()[0]) == log.output_segments


def test_ditch_lines_by_family(example_runs):
    out = read_out(example_runs["ditch"] / "ditch.out")
    scalar = out.get("DepWatRepCha")
    assert (scalar.times[0], scalar.dates[0], scalar.values[0]) == (15.5, "16-Jan-1980-12h00",
                                                                     0.2638)
    assert scalar.moments[0] == dt.datetime(1980, 1, 16, 12)
    assert out.get("QBou", "", 10).values[0] == 0.01
    assert out.get("AmaWatLay", "MET").unit == "g"
    assert out.compounds() == ["CMP", "MET"]
    assert out.get("ConLiqWatLay", "CMP", 10).dates[3] == "16-Apr-1980"


def test_global_maximum_is_the_highest_hourly_concentration(hourly_ditch):
    """The summary's global maximum is the largest momentary concentration at the
    downstream end printed every hour; the summary dates it by the start of its hour."""
    summary = read_summary(hourly_ditch / "ditch.sum")
    out = read_out(hourly_ditch / "ditch.out")
    last = out.segments("ConLiqWatLayCur", "CMP")[-1]
    for compound in summary.compounds:
        series = out.get("ConLiqWatLayCur", compound, last)
        top = max(range(len(series.values)), key=series.values.__getitem__)
        peak = summary.global_maximum(compound)
        assert float(f"{series.values[top] * 1000:.4g}") == pytest.approx(peak.value, rel=1e-12)
        assert series.moments[top] == peak.moment + dt.timedelta(hours=1)
        assert summary.results[compound] == pytest.approx(peak.value, rel=5e-4)
    hourly = out.get("ConLiqWatLay", "CMP", last)
    assert hourly.dates[:2] == ["01-Jan-1980", "01-Jan-1980-01h30"]
    assert hourly.moments[:2] == [dt.datetime(1980, 1, 1, 0, 30), dt.datetime(1980, 1, 1, 1, 30)]
    assert len(hourly.values) == 141 * 24


def test_damaged_output_names_file_and_line(example_runs, tmp_path):
    lines = (example_runs["ditch"] / "ditch.out").read_text().splitlines()
    cases = {
        "value": lambda s: s.replace("0.2638", "0.26x8", 1),
        "date": lambda s: s.replace("16-Jan-1980-12h00", "16-Jam-1980-12h00", 1),
        "unit": lambda s: s.replace("ConLiqWatLay_CMP", "ConLiqWatLyr_CMP", 1),
    }
    first = {k: next(i for i, t in enumerate(lines) if not t.startswith("*") and f(t) != t)
             for k, f in cases.items()}
    for what, edit in cases.items():
        damaged = list(lines)
        damaged[first[what]] = edit(damaged[first[what]])
        path = tmp_path / f"{what}.out"
        path.write_text("\n".join(damaged))
        with pytest.raises(ReaderError) as e:
            read_out(path)
        assert e.value.path == path and e.value.line == first[what] + 1
        assert str(e.value).startswith(f"{path}, line {first[what] + 1}: ")
