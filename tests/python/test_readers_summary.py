"""The reader of RunId.sum on the summary of every example."""

from __future__ import annotations

import math

import pytest

from conftest import EXAMPLES
from pykorvan.readers import ReaderError, read_summary
from pykorvan.readers.summary import PEC_DAYS


@pytest.mark.parametrize("name", EXAMPLES)
def test_tables_of_every_example(example_runs, name):
    s = read_summary(example_runs[name] / f"{name}.sum")
    assert s.header["Run ID"] == name
    assert s.header["Simulation Period"] == "01-Jan-1980 to 20-May-1980"
    assert s.edition in ("MERIX", "Orlan", "ZR", "BRAX")
    assert s.compounds and set(s.results) == set(s.compounds)
    # Five months and the year; the shortened May is marked incomplete.
    assert [r.month for r in s.water_balance] == [1, 2, 3, 4, 5, None]
    assert [r.complete for r in s.water_balance] == [True] * 4 + [False, True]
    assert all(r.identifier == name[:15] for r in s.water_balance)
    for compound in s.compounds:
        for system in ("water", "sediment"):
            rows = [r for r in s.mass_balance if r.compound == compound and r.system == system]
            months, year = rows[:-1], rows[-1]
            assert [r.month for r in months] == [1, 2, 3, 4, 5] and year.month is None
            for term, total in year.terms.items():
                # The months add up to the year within the rounding of 4 decimals.
                assert math.fsum(r.terms[term] for r in months) == pytest.approx(
                    total, abs=5e-5 * len(months) + 1e-9), (compound, system, term)
    if s.edition == "MERIX":
        _check_pec_tables(s)
    elif s.edition in ("ZR", "BRAX"):
        for compound in s.compounds:
            assert s.results[compound] == s.percentile_peaks[compound]
            ranked = [r for r in s.percentiles if r.compound == compound]
            assert [r.table for r in ranked] == ["summary", "target"]
            assert ranked[0].identifier.startswith("Year = 1980")
            assert ranked[0].concentration_ug_l == pytest.approx(s.results[compound], rel=5e-5)
            assert [t.target for t in s.twa_targets] == ["Acute", "Chronic"]
    else:
        assert s.results == {c: 0.0 for c in s.compounds} and not s.pec


def _check_pec_tables(s):
    for compound in s.compounds:
        for medium in ("water", "sediment"):
            for kind in ("pec", "twa"):
                rows = s.pec_rows(compound, medium, kind)
                assert [r.days for r in rows] == list(PEC_DAYS)
                # The run ends on 20 May: lags beyond it have no value.
                assert all((r.value is None) == (r.date == "") for r in rows)
            top = s.global_maximum(compound, medium)
            assert top.value is not None and top.day == top.moment.timetuple().tm_yday
        water = s.pec_rows(compound)
        # The 2-day row has its own label, and a bare "PECsw" as its dash row.
        assert water[1].name == ("PECsw 2 days" if water[1].value is not None else "PECsw")
        assert s.results[compound] == pytest.approx(s.global_maximum(compound).value, rel=5e-4)
        yearly = [a for a in s.annual_maxima if a.compound == compound]
        assert [a.year for a in yearly] == [1980]


def test_ditch_values_as_written(example_runs):
    s = read_summary(example_runs["ditch"] / "ditch.sum")
    top = s.global_maximum("CMP")
    assert (top.value, top.date, top.day) == (47.37, "15-May-1980-08h00", 136)
    sus = [r for r in s.pec if r.kind == "max_incl_sus" and r.compound == "CMP"][0]
    assert (sus.value, sus.day) == (47.39, 136)
    pec2 = s.pec_rows("CMP")[1]
    assert (pec2.value, pec2.date, pec2.day) == (0.0001641, "17-May-1980-08h00", 138)
    late = s.pec_rows("MET", "sediment")
    assert (late[0].value, late[0].text) == (0.0, "< 1e-6")
    assert (late[1].value, late[1].date, late[1].day) == (None, "", None)
    assert s.events[0].date == "15-May-1980-09h00" and s.events[0].deposition_mg_m2 == 12.5
    assert s.water_balance[-1].terms["VolUps"] == 121824.0
    may = [r for r in s.mass_balance if r.compound == "CMP" and r.month == 5][0]
    assert may.terms["AmaDrf"] == 1.25 and may.terms["AmaDwn"] == -1.2481
    assert s.results == {"CMP": 47.374216, "MET": 0.005126}
    assert s.project_summary["Location"] == "Ditch_beside_field"


def test_damaged_summary_names_file_and_line(example_runs, tmp_path):
    lines = (example_runs["ditch"] / "ditch.sum").read_text().splitlines()
    edits = {
        "  1980   May      0.0000      0.0000      1.2500": ("1.2500", "1.2.00"),
        "PECsw 2 days": ("0.0001641", "0.000x641"),
        "  1980 Feb   ditch": ("Feb", "Fev"),
        "PECsw_7_days": ("PECsw_7_days", "PECsw_8_days"),
    }
    for start, (old, new) in edits.items():
        at = next(i for i, t in enumerate(lines) if t.startswith(start))
        damaged = list(lines)
        damaged[at] = damaged[at].replace(old, new, 1)
        path = tmp_path / "damaged.sum"
        path.write_text("\n".join(damaged))
        with pytest.raises(ReaderError, match=rf"^{path}, line {at + 1}: "):
            read_summary(path)
    (tmp_path / "empty.sum").write_text("")
    with pytest.raises(ReaderError, match="not a KORVAN summary"):
        read_summary(tmp_path / "empty.sum")
