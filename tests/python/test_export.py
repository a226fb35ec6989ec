"""CSV and JSON export: every value comes back exactly from the files written."""

from __future__ import annotations

import csv
import datetime as dt
import json

import pytest

from conftest import EXAMPLES
from pykorvan.export import export_folder
from pykorvan.readers import read_run


def _csv(path):
    with path.open(encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def _num(text):
    return None if text == "" else float(text)


@pytest.mark.parametrize("name", EXAMPLES)
def test_csv_round_trip(example_runs, name, tmp_path):
    run = read_run(example_runs[name])
    written = export_folder(example_runs[name], tmp_path)
    assert all(p.parent == tmp_path for p in written)
    rows = _csv(tmp_path / f"{name}_out.csv")
    expected = list(run.out.rows())
    assert len(rows) == len(expected)
    for got, want in zip(rows, expected):
        assert float(got["value"]) == want.value and got["unit"] == want.unit
        assert float(got["time [d]"]) == want.time
        assert dt.datetime.fromisoformat(got["moment"]) == want.moment
        assert (got["variable"], got["compound"], got["date"]) == (
            want.variable, want.compound, want.date)
        assert _num(got["segment"]) == want.segment and _num(got["layer"]) == want.layer
    balance = _csv(tmp_path / f"{name}_water_balance.csv")
    assert [{k: _num(v) for k, v in r.items() if k.endswith("[m3]")} for r in balance] == [
        {f"{k} [m3]": v for k, v in r.terms.items()} for r in run.summary.water_balance]
    assert [r["complete"] for r in balance] == ["Yes"] * 4 + ["No", "Yes"]
    if run.summary.pec:
        pec = _csv(tmp_path / f"{name}_pec_twa.csv")
        assert [(_num(r["value"]), r["unit"], r["date"]) for r in pec] == [
            (p.value, "ug.L-1" if p.medium == "water" else "ug.kg-1", p.date)
            for p in run.summary.pec]
    if run.hyd.times:
        hyd = _csv(tmp_path / f"{name}_hyd.csv")
        labels = [c.label for c in run.hyd.columns]
        assert [[float(r[k]) for k in labels] for r in hyd] == run.hyd.values
    tem = _csv(tmp_path / f"{name}_tem.csv")
    assert [float(r["TemWat [K]"]) for r in tem] == run.tem.column("TemWat")
    results = json.loads((tmp_path / f"{name}_results.json").read_text(encoding="utf-8"))
    assert results["run_id"] == name and results["start"] == "1980-01-01T00:00"
    for c in run.summary.compounds:
        entry = results["compounds"][c]
        assert entry["result [ug.L-1]"] == run.summary.results[c]
        top = run.summary.global_maximum(c)
        if top is not None:
            assert entry["global_max_water [ug.L-1]"] == top.value
            assert entry["pec_water [ug.L-1]"]["2"] == run.summary.pec_rows(c)[1].value


def test_export_writes_beside_the_run_by_default(example_runs, tmp_path):
    import shutil
    folder = tmp_path / "weir"
    shutil.copytree(example_runs["weir_reach"], folder)
    written = export_folder(folder)
    names = {p.name for p in written}
    assert {"weir_reach_xpo_CMP.csv", "weir_reach_twa_targets.csv", "weir_reach_segments.csv",
            "weir_reach_percentiles.csv", "weir_reach_results.json"} <= names
    twa = _csv(folder / "weir_reach_twa_targets.csv")
    assert [(r["target"], r["window [d]"]) for r in twa] == [("Acute", "1.0"), ("Chronic", "7.0")]
    results = json.loads((folder / "weir_reach_results.json").read_text())
    assert set(results["compounds"]["CMP"]["twa_targets [ug.L-1]"]) == {"Acute", "Chronic"}
