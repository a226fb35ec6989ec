"""The readers of RunId.hyd, RunId.tem and RunId.xpo on every example."""

from __future__ import annotations

import pytest

from conftest import EXAMPLES
from pykorvan.readers import ReaderError, read_hyd, read_log, read_summary, read_tem, read_xpo

HOURS = 141 * 24  # 1 January to 20 May 1980


@pytest.mark.parametrize("name", EXAMPLES)
def test_hydrology_and_temperature(example_runs, name):
    folder = example_runs[name]
    hyd = read_hyd(folder / f"{name}.hyd")
    lines = [t for t in (folder / f"{name}.hyd").read_text().splitlines()
             if t.strip() and not t.startswith("*")]
    if not lines:  # constant flow: no hydrology records
        assert hyd.times == [] and hyd.columns == []
    else:
        assert len(hyd.times) == len(lines) and hyd.times[0] == 0.0
        assert hyd.values[-1] == [float(v) for v in lines[-1].split()[2:]]
        names = [c.name for c in hyd.columns]
        segments = read_log(folder / f"{name}.log").segments
        if "QCre" not in names and len(segments) > 1:
            assert names == [f"QBou({i})" for i in range(len(segments) + 1)] + ["DepWat"]
        assert hyd.depth[0] > 0 and all(q >= 0 for q in hyd.discharge_downstream)
    tem = read_tem(folder / f"{name}.tem")
    assert len(tem.times) == HOURS
    assert [round(t * 24) for t in tem.times[:3]] == [1, 2, 3]
    assert [c.label for c in tem.columns][:2] == ["TemWat [K]", "AvgDepWat [m]"]
    assert all(-5 < c < 40 for c in tem.temperature_celsius)


@pytest.mark.parametrize("name", [n for n in EXAMPLES if n in ("greenhouse", "weir_reach")])
def test_exposure_file_holds_the_target_peak(example_runs, name):
    folder = example_runs[name]
    xpo = read_xpo(folder / f"{name}.xpo")
    summary = read_summary(folder / f"{name}.sum")
    assert list(xpo.tables) == summary.compounds
    for compound, table in xpo.tables.items():
        assert table.year == 1980 and len(table.times) == HOURS
        assert [c.label for c in table.columns] == [
            "ConWatTgt [ug.L-1]", "TWA-1d [ug.L-1]", "TWA-7d [ug.L-1]"]
        # One year: its peak is the target percentile, to the 4 digits of the file.
        peak = max(table.column("ConWatTgt"))
        assert peak == float(f"{summary.percentile_peaks[compound]:.4g}")
        twa = {t.target: t.value for t in summary.twa_targets if t.compound == compound}
        assert max(table.column("TWA-1d")) == pytest.approx(twa["Acute"], rel=5e-4)


def test_damaged_series_name_file_and_line(example_runs, tmp_path):
    for ext, reader in (("hyd", read_hyd), ("tem", read_tem), ("xpo", read_xpo)):
        lines = (example_runs["weir_reach"] / f"weir_reach.{ext}").read_text().splitlines()
        at = 30
        damaged = list(lines)
        damaged[at] = damaged[at].rsplit(" ", 1)[0] + " 1.2.3"
        path = tmp_path / f"damaged.{ext}"
        path.write_text("\n".join(damaged))
        with pytest.raises(ReaderError, match=rf"^{path}, line {at + 1}: expected a number"):
            reader(path)
        damaged[at] = " ".join(lines[at].split()[:-1])
        path.write_text("\n".join(damaged))
        with pytest.raises(ReaderError, match=rf"^{path}, line {at + 1}: expected \d+ values"):
            reader(path)
